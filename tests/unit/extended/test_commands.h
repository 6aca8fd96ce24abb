#pragma once

#include <functional>
#include <string>

#include "extended/async_command.h"
#include "extended/async_result.h"

namespace zelvo_test {

// A command that runs a function and signals an int result (the number of
// times it ran).
class CFnCommand : public osk::CAsyncCommand {
public:
    using fn_t = std::function<void(unsigned long)>;
    CFnCommand(const std::string& name, const osk::CAsyncResult<int>& result, fn_t fn = fn_t())
        : osk::CAsyncCommand(name, ""), _result(result), _fn(std::move(fn))
    {
    }
    void execute(unsigned long threadIndex) override
    {
        ++*_result;
        if (_fn) _fn(threadIndex);
    }
    void signalResult() override { _result.signal(); }

private:
    osk::CAsyncResult<int> _result;
    fn_t _fn;
};

} // namespace zelvo_test
