#include "extended/cmd_register_log_target.h"

#include "extended/async_log.h"

namespace osk {

CCmdRegisterLogTarget::CCmdRegisterLogTarget(CAsyncLog* log, const CLogTLS::target_ptr_t& target,
                                             const CAsyncResult<bool>& result)
    : CAsyncCommand("CCmdRegisterLogTarget", ""), _log(log), _target(target), _result(result)
{
}

void CCmdRegisterLogTarget::execute(unsigned long)
{
    _log->tls().registerTarget(_target);
    *_result = true;
}

} // namespace osk
