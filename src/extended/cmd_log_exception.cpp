#include "extended/cmd_log_exception.h"

#include "extended/async_log.h"
#include "standard/tracked_factory.h"

namespace osk {

CCmdLogException::CCmdLogException(CAsyncLog* log, uint64_t threadId, const exception_list_t& exceptions,
                                   const CAsyncResult<bool>* result)
    : CAsyncCommand("CCmdLogException", ""),
      _log(log),
      _threadId(threadId),
      _exceptions(exceptions),
      _result(result ? CTrackedFactory::create<CAsyncResult<bool>>(*result) : nullptr)
{
}

CMessage CCmdLogException::entryMessage(const CException& exception)
{
    // The printable error is complete text: it travels as the message text
    // so that a "%" inside it is never taken for a placeholder.
    return CMessage(exception.printableError(), exception.module());
}

void CCmdLogException::execute(unsigned long)
{
    CLogTLS& tls = _log->tls();
    for (const auto& exception : _exceptions) {
        if (!exception) continue;
        tls.processTargets(exception->severity(), _threadId, exception->err_code(), entryMessage(*exception));
    }
    if (_result) **_result = true;
}

void CCmdLogException::signalResult()
{
    if (_result) _result->signal();
}

} // namespace osk
