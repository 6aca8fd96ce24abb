#pragma once

#include "extended/async_command.h"
#include "extended/async_result.h"

namespace osk {

// A command that does nothing but answer true: posting it and waiting proves
// that the task is alive and draining its queue.
class CCmdNull : public CAsyncCommand {
public:
    explicit CCmdNull(const CAsyncResult<bool>& result);

    void execute(unsigned long threadIndex) override;
    void signalResult() override;

private:
    CAsyncResult<bool> _result;
};

} // namespace osk
