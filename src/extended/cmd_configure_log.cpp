#include "extended/cmd_configure_log.h"

#include "extended/async_log.h"

namespace osk {

CCmdConfigureLog::CCmdConfigureLog(CAsyncLog* log, const CStringMap& config, const CExtAsyncResult<bool>& result)
    : CAsyncCommand("CCmdConfigureLog", ""), _log(log), _config(config), _result(result)
{
}

void CCmdConfigureLog::execute(unsigned long)
{
    try {
        CLogTLS& tls = _log->tls();
        tls.configure(_config);
        _log->_levelsChanged(tls.severityMask());
        *_result = true;
        _result.success(true);
    } catch (const CException& e) {
        _result.exceptionFacade().push(e);
        _result.success(false);
    }
}

} // namespace osk
