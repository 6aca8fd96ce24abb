#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "extended/async_command.h"
#include "extended/async_result.h"
#include "extended/exception.h"
#include "standard/general_ptr.h"
#include "standard/tracked_factory.h"

namespace osk {

class CAsyncLog;

// Recorded exceptions on their way to the log thread; each is written as one
// entry with its own severity, module and system error number.
class CCmdLogException : public CAsyncCommand {
public:
    using exception_list_t = std::vector<CGeneralPtr<CException>>;

    CCmdLogException(CAsyncLog* log, uint64_t threadId, const exception_list_t& exceptions,
                     const CAsyncResult<bool>* result = nullptr);

    void execute(unsigned long threadIndex) override;
    void signalResult() override;

    // The entry written for one exception: its printable error in its module.
    static CMessage entryMessage(const CException& exception);

private:
    CAsyncLog* _log;
    uint64_t _threadId;
    exception_list_t _exceptions;
    CTrackedPtr<CAsyncResult<bool>> _result;
};

} // namespace osk
