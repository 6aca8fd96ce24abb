#pragma once

#include <cstdint>
#include <memory>

#include "extended/async_command.h"
#include "extended/async_result.h"
#include "extended/message.h"
#include "standard/tracked_factory.h"

namespace osk {

class CAsyncLog;

// One log entry on its way to the log thread: the severity, the id of the
// thread that logged it, a system error number (0 for none) and the message.
// With a result the poster waits for the entry to be written.
class CCmdLogMsg : public CAsyncCommand {
public:
    CCmdLogMsg(CAsyncLog* log, uint32_t severity, uint64_t threadId, int errCode, const CMessage& message,
               const CAsyncResult<bool>* result = nullptr);

    void execute(unsigned long threadIndex) override;
    void signalResult() override;

private:
    CAsyncLog* _log;
    uint32_t _severity;
    uint64_t _threadId;
    int _errCode;
    CMessage _message;
    CTrackedPtr<CAsyncResult<bool>> _result;
};

} // namespace osk
