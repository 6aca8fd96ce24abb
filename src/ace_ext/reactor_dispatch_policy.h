#pragma once

#include <ace/Event_Handler.h>
#include <ace/Handle_Set.h>

#include <memory>
#include <vector>

#include "ace_ext/reactor_dispatch_cmd.h"
#include "ace_ext/reactor_dispatch_io_set_cmd.h"
#include "ace_ext/reactor_handle_set.h"
#include "ace_ext/reactor_registration_policy.h"
#include "standard/tracked_factory.h"

namespace osk {

// Runs the handlers of one reactor turn. The turn is an ordered list of
// commands - expired timers first, then I/O - and the I/O step is itself an
// ordered list of one command per mask: write, exception, read. Each command
// lowers the count of ready events by the number it handled; the turn stops
// as soon as nothing is left.
template <class Registration>
class CReactorDispatchPolicy {
public:
    using self_t = CReactorDispatchPolicy<Registration>;
    using cmd_t = CReactorDispatchCmd<self_t>;
    using io_set_cmd_t = CReactorDispatchIOSetCmd<self_t>;

    explicit CReactorDispatchPolicy(Registration& registration) : _registration(registration)
    {
        CReactorHandleSet& ready = registration.readySet();
        _commands.emplace_back(CTrackedFactory::create<cmd_t>(*this, &self_t::dispatch_timer_handlers));
        _commands.emplace_back(CTrackedFactory::create<cmd_t>(*this, &self_t::dispatch_io_handlers));
        _ioCommands.emplace_back(CTrackedFactory::create<io_set_cmd_t>(
            *this, ACE_Event_Handler::WRITE_MASK, ready.getWaitObjects(CReactorBaseHandleSet::writeBit),
            &ACE_Event_Handler::handle_output));
        _ioCommands.emplace_back(CTrackedFactory::create<io_set_cmd_t>(
            *this, ACE_Event_Handler::EXCEPT_MASK, ready.getWaitObjects(CReactorBaseHandleSet::exceptBit),
            &ACE_Event_Handler::handle_exception));
        _ioCommands.emplace_back(CTrackedFactory::create<io_set_cmd_t>(
            *this, ACE_Event_Handler::READ_MASK, ready.getWaitObjects(CReactorBaseHandleSet::readBit),
            &ACE_Event_Handler::handle_input));
    }
    virtual ~CReactorDispatchPolicy() = default;
    CReactorDispatchPolicy(const CReactorDispatchPolicy&) = delete;
    CReactorDispatchPolicy& operator=(const CReactorDispatchPolicy&) = delete;

    // Runs the I/O commands in order.
    virtual int dispatch_io_handlers(int& remaining)
    {
        int dispatched = 0;
        for (auto& cmd : _ioCommands) {
            if (remaining <= 0) break;
            dispatched += cmd->execute(remaining);
        }
        return dispatched;
    }

    // Calls the command's handler member for every handle in its ready set
    // whose handler is still registered for that mask and not suspended. A
    // negative return removes that mask from the handle's registration (and
    // the handler hears handle_close). A positive return is treated as zero:
    // a handle with more to do is simply reported ready again next turn.
    virtual int dispatch_io_set(const io_set_cmd_t& cmd, int& remaining)
    {
        ACE_Handle_Set& ready = cmd.readySet();
        if (ready.num_set() == 0) return 0;
        const ACE_Reactor_Mask bit = CReactorBaseHandleSet::selectBits(cmd.mask());
        int dispatched = 0;
        ACE_Handle_Set_Iterator it(ready);
        for (ACE_HANDLE handle; remaining > 0 && (handle = it()) != ACE_INVALID_HANDLE;) {
            --remaining;
            typename Registration::handler_ptr_t handler = _registration.findReady(handle, bit);
            if (!handler) continue;
            ++dispatched;
            if (reactorCall(handler, cmd.callback(), handle) < 0) _registration.unbind(handle, cmd.mask());
        }
        return dispatched;
    }

    // Fires the timers the turn counted as expired. The count of ready
    // events falls by the number counted, whether or not a handler cancelled
    // one of them meanwhile.
    virtual int dispatch_timer_handlers(int& remaining)
    {
        const std::pair<int, int> fired = _registration.expireTimers();
        remaining -= fired.second;
        return fired.first;
    }

    // Runs the turn's commands for ready events (descriptors plus expired
    // timers); returns the number of handler calls.
    virtual int dispatch(int ready)
    {
        int remaining = ready;
        int dispatched = 0;
        for (auto& cmd : _commands) {
            if (remaining <= 0) break;
            dispatched += cmd->execute(remaining);
        }
        return dispatched;
    }

protected:
    Registration& _registration;
    std::vector<CTrackedPtr<cmd_t>> _commands;
    std::vector<CTrackedPtr<io_set_cmd_t>> _ioCommands;
};

} // namespace osk
