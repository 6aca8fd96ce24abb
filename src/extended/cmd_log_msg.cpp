#include "extended/cmd_log_msg.h"

#include "extended/async_log.h"
#include "standard/tracked_factory.h"

namespace osk {

CCmdLogMsg::CCmdLogMsg(CAsyncLog* log, uint32_t severity, uint64_t threadId, int errCode, const CMessage& message,
                       const CAsyncResult<bool>* result)
    : CAsyncCommand("CCmdLogMsg", ""),
      _log(log),
      _severity(severity),
      _threadId(threadId),
      _errCode(errCode),
      _message(message),
      _result(result ? CTrackedFactory::create<CAsyncResult<bool>>(*result) : nullptr)
{
}

void CCmdLogMsg::execute(unsigned long)
{
    _log->tls().processTargets(_severity, _threadId, _errCode, _message);
    if (_result) **_result = true;
}

void CCmdLogMsg::signalResult()
{
    if (_result) _result->signal();
}

} // namespace osk
