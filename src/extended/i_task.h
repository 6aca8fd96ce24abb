#pragma once

namespace osk {

// Abstract task: an object that owns threads of its own. run() starts them and
// returns the start-up result; shutdown() stops them and returns retcode().
class CITask {
public:
    virtual ~CITask() = default;
    virtual int run() = 0;
    virtual int shutdown() = 0;
    virtual int retcode() const = 0;
};

} // namespace osk
