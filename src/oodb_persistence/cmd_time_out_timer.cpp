#include "oodb_persistence/cmd_time_out_timer.h"

CCmdTimeOutTimer::CCmdTimeOutTimer(const std::string& name, work_t work, const osk::CAsyncResult<bool>& done)
    : osk::CAsyncCommand(name, ""), _work(std::move(work)), _done(done)
{
}

void CCmdTimeOutTimer::execute(unsigned long)
{
    // The caller learns of success through its flag: an exception from the
    // work is recorded by the task and leaves the flag false.
    *_done = false;
    _work();
    *_done = true;
}

void CCmdTimeOutTimer::signalResult()
{
    _done.signal();
}
