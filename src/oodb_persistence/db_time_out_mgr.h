#pragma once

#include <ace/Time_Value.h>

#include <map>

#include "extended/async_command.h"
#include "extended/async_result.h"
#include "extended/command_queue_task.h"
#include "extended/i_command_queue_task.h"
#include "extended/master_controller.h"
#include "standard/tracked_factory.h"

// The timers of query time-outs: a command-queue task named
// "db-timeout-manager" whose one thread keeps the timers on its own reactor.
// A timer carries a command and the task it is for; when the timer fires,
// the command is posted to that task, so the work of a time-out runs on the
// thread that owns what it touches, never on this one.
//
// arm() and cancel() may be called from any thread but this task's own: they
// travel to it as commands and wait for the answer, so the timer table is
// only ever touched by this task's thread. After cancel() has returned the
// timer can no longer fire; a command it posted just before is already on
// its way (the receiver must recognise it as stale). The manager must
// outlive the callers of arm() and cancel().
class CDBTimeOutMgr : public osk::CCommandQueueTask<> {
public:
    static const char* const taskLabel;

    explicit CDBTimeOutMgr(osk::CMasterController* controller);
    ~CDBTimeOutMgr() override;

    // Posts expiry to target after delay; returns the timer id. Throws
    // "Failed to initialize timeout manager." when the manager does not run
    // or its reactor refuses the timer.
    long arm(const ACE_Time_Value& delay, const osk::CICommandQueueTask& target, const osk::CAsyncCommandPtr& expiry);
    // Cancels the timer; false when it had fired already (or never existed,
    // or the manager has stopped).
    bool cancel(long timerId);
    // Timers armed and not yet fired or cancelled.
    size_t pendingTimers() const;

    // ---- used by the timer commands on the manager's thread ----------------
    long _arm(const ACE_Time_Value& delay, const osk::CICommandQueueTask& target, const osk::CAsyncCommandPtr& expiry);
    bool _cancel(long timerId);
    size_t _pending() const { return _timers.size(); }

    int handle_timeout(const ACE_Time_Value& now, const void* act) override;

private:
    struct CTimer {
        const osk::CICommandQueueTask* target;
        osk::CAsyncCommandPtr expiry;
        long id;
    };

    // Throws "Failed to initialize timeout manager." with why.
    [[noreturn]] void _fail(const char* why, const char* context) const;
    // Posts command to this task and waits for it; throws when the manager
    // does not run.
    void _call(osk::CAsyncCommand* command, const osk::CAsyncResult<bool>& done, const char* context) const;

    std::map<long, osk::CTrackedPtr<CTimer>> _timers;
};
