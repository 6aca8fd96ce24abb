#include "extended/cmd_deregister_log_target.h"

#include "extended/async_log.h"

namespace osk {

CCmdDeregisterLogTarget::CCmdDeregisterLogTarget(CAsyncLog* log, const CLogTLS::target_ptr_t& target,
                                                 const CAsyncResult<bool>& result)
    : CAsyncCommand("CCmdDeregisterLogTarget", ""), _log(log), _target(target), _result(result)
{
}

void CCmdDeregisterLogTarget::execute(unsigned long)
{
    _log->tls().deregisterTarget(_target);
    *_result = true;
}

} // namespace osk
