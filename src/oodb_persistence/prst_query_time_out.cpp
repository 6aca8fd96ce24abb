#include "oodb_persistence/prst_query_time_out.h"

#include <cstdio>

#include "extended/exception.h"
#include "oodb_persistence/cmd_query_time_out.h"
#include "oodb_persistence/prst_messages.h"
#include "standard/tracked_factory.h"

namespace {

std::string secondsText(const ACE_Time_Value& delay)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(delay.sec()) + delay.usec() / 1e6);
    return text;
}

} // namespace

CPrstQueryTimeOut::CPrstQueryTimeOut(osk::CMasterController* controller, CDBTimeOutMgr& manager,
                                     const osk::CICommandQueueTask& owner)
    : _controller(controller), _manager(manager), _owner(owner), _armed(osk::CTrackedFactory::create<CArmed>())
{
    _armed->controller = controller;
}

CPrstQueryTimeOut::~CPrstQueryTimeOut()
{
    try {
        finish();
    } catch (const osk::CException&) {
        // Nothing to report from a destructor; a stale expiry finds the
        // time-out disarmed.
    }
}

void CPrstQueryTimeOut::start(const ACE_Time_Value& delay, CDBTransaction& transaction)
{
    // Throws for a thread that is not the owner's: only the owner's thread
    // may arm what the owner's thread will commit.
    _owner.myThreadIndex();
    finish();
    const uint64_t generation = _armed->generation + 1;
    const osk::CAsyncCommandPtr expiry(osk::CTrackedFactory::create<CCmdQueryTimeOut>(_armed, generation));
    const long id = _manager.arm(delay, _owner, expiry);
    // The expiry can only run on this thread, so it runs after these lines.
    _armed->generation = generation;
    _armed->timerId = id;
    _armed->transaction = &transaction;
    _controller->syslog(
        osk::CException::debug,
        osk::CMessage(CPrstMessages::initiatingTimeOut, CPrstMessages::module).pushs(secondsText(delay)).push(id));
}

void CPrstQueryTimeOut::finish()
{
    if (!armed()) return;
    const long id = _armed->timerId;
    // Disarm first: an expiry already on its way is outdated from now on.
    _armed->transaction = nullptr;
    ++_armed->generation;
    _manager.cancel(id);
    _controller->syslog(osk::CException::debug,
                        osk::CMessage(CPrstMessages::timerCancelled, CPrstMessages::module).push(id));
}

void CPrstQueryTimeOut::expire(CArmed& armed, uint64_t generation)
{
    if (generation != armed.generation || !armed.transaction) return;
    CDBTransaction* transaction = armed.transaction;
    armed.transaction = nullptr;
    armed.controller->syslog(osk::CException::info,
                             osk::CMessage(CPrstMessages::executingTimeOut, CPrstMessages::module).push(armed.timerId));
    if (transaction->isActiveTransaction()) transaction->commit();
}
