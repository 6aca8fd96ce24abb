#pragma once

#include <functional>
#include <string>

#include "extended/async_command.h"
#include "extended/async_result.h"

// Runs one piece of the timeout manager's bookkeeping (arming, cancelling or
// counting timers) on the manager's own thread and signals the caller.
class CCmdTimeOutTimer : public osk::CAsyncCommand {
public:
    using work_t = std::function<void()>;

    CCmdTimeOutTimer(const std::string& name, work_t work, const osk::CAsyncResult<bool>& done);

    void execute(unsigned long threadIndex) override;
    void signalResult() override;

private:
    work_t _work;
    osk::CAsyncResult<bool> _done;
};
