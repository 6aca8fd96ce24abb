#pragma once

#include "extended/async_command.h"
#include "extended/async_result.h"
#include "extended/log_tls.h"

namespace osk {

class CAsyncLog;

// Adds a caller's own target to the log thread.
class CCmdRegisterLogTarget : public CAsyncCommand {
public:
    CCmdRegisterLogTarget(CAsyncLog* log, const CLogTLS::target_ptr_t& target, const CAsyncResult<bool>& result);

    void execute(unsigned long threadIndex) override;
    void signalResult() override { _result.signal(); }

private:
    CAsyncLog* _log;
    CLogTLS::target_ptr_t _target;
    CAsyncResult<bool> _result;
};

} // namespace osk
