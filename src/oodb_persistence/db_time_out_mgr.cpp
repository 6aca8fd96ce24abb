#include "oodb_persistence/db_time_out_mgr.h"

#include "extended/exception.h"
#include "oodb_persistence/cmd_time_out_timer.h"
#include "oodb_persistence/prst_messages.h"

const char* const CDBTimeOutMgr::taskLabel = "db-timeout-manager";

CDBTimeOutMgr::CDBTimeOutMgr(osk::CMasterController* controller) : osk::CCommandQueueTask<>(controller, taskLabel, 1) {}

CDBTimeOutMgr::~CDBTimeOutMgr()
{
    // The reactor goes with the task; no timer may point at this handler
    // when it does.
    for (auto& [id, timer] : _timers) reactor()->cancel_timer(id);
}

void CDBTimeOutMgr::_fail(const char* why, const char* context) const
{
    throw OSK_EXCEPTION(osk::CMessage(CPrstMessages::timeOutMgrFailed), osk::CMessage(why), context,
                        CPrstMessages::module);
}

void CDBTimeOutMgr::_call(osk::CAsyncCommand* command, const osk::CAsyncResult<bool>& done, const char* context) const
{
    const osk::CAsyncCommandPtr owned(command);
    // A stopped task would never answer: refuse instead of waiting forever.
    if (!running() || stopping()) _fail(CPrstMessages::timeOutMgrNotRunning, context);
    try {
        sendCommand(owned);
    } catch (const osk::CExQueueFull&) {
        _fail(CPrstMessages::timeOutMgrNotRunning, context);
    }
    done.wait();
}

long CDBTimeOutMgr::arm(const ACE_Time_Value& delay, const osk::CICommandQueueTask& target,
                        const osk::CAsyncCommandPtr& expiry)
{
    bool done = false;
    long id = -1;
    osk::CAsyncResult<bool> result(&done);
    _call(osk::CTrackedFactory::create<CCmdTimeOutTimer>(
              "CCmdArmQueryTimer", [&]() { id = _arm(delay, target, expiry); }, result),
          result, "CDBTimeOutMgr::arm");
    if (!done || id == -1) _fail(CPrstMessages::timerRefused, "CDBTimeOutMgr::arm");
    return id;
}

bool CDBTimeOutMgr::cancel(long timerId)
{
    bool done = false;
    bool cancelled = false;
    osk::CAsyncResult<bool> result(&done);
    try {
        _call(osk::CTrackedFactory::create<CCmdTimeOutTimer>(
                  "CCmdCancelQueryTimer", [&]() { cancelled = _cancel(timerId); }, result),
              result, "CDBTimeOutMgr::cancel");
    } catch (const osk::CException&) {
        // A manager that has stopped fires no timer any more.
        return false;
    }
    return cancelled;
}

size_t CDBTimeOutMgr::pendingTimers() const
{
    bool done = false;
    size_t pending = 0;
    osk::CAsyncResult<bool> result(&done);
    _call(osk::CTrackedFactory::create<CCmdTimeOutTimer>(
              "CCmdCountQueryTimers", [&]() { pending = _pending(); }, result),
          result, "CDBTimeOutMgr::pendingTimers");
    return pending;
}

long CDBTimeOutMgr::_arm(const ACE_Time_Value& delay, const osk::CICommandQueueTask& target,
                         const osk::CAsyncCommandPtr& expiry)
{
    osk::CTrackedPtr<CTimer> timer(osk::CTrackedFactory::create<CTimer>(CTimer{&target, expiry, -1}));
    timer->id = reactor()->schedule_timer(this, timer.get(), delay);
    if (timer->id == -1) return -1;
    const long id = timer->id;
    _timers.emplace(id, std::move(timer));
    return id;
}

bool CDBTimeOutMgr::_cancel(long timerId)
{
    auto found = _timers.find(timerId);
    if (found == _timers.end()) return false;
    reactor()->cancel_timer(timerId);
    _timers.erase(found);
    return true;
}

int CDBTimeOutMgr::handle_timeout(const ACE_Time_Value&, const void* act)
{
    const CTimer* fired = static_cast<const CTimer*>(act);
    auto found = _timers.find(fired->id);
    if (found == _timers.end()) return 0;
    const osk::CTrackedPtr<CTimer> timer = std::move(found->second);
    _timers.erase(found);
    try {
        timer->target->sendCommand(timer->expiry);
    } catch (const osk::CException& e) {
        // The target's queue is full or closed: the time-out is lost, which
        // the log must show. An exception must not unwind through the timer
        // queue's dispatch.
        osk::CExceptionFacade& facade = controller()->exceptionFacade();
        e.record(facade);
        facade.log();
    }
    return 0;
}
