#pragma once

#include <ace/Event_Handler.h>
#include <ace/Handle_Set.h>

#include "ace_ext/reactor_dispatch_cmd.h"

namespace osk {

// The dispatch step of one select mask: for every handle in that mask's ready
// set, the policy calls the given ACE_Event_Handler member (handle_input,
// handle_output or handle_exception).
template <class Policy>
class CReactorDispatchIOSetCmd : public CReactorDispatchCmd<Policy> {
public:
    using callback_t = int (ACE_Event_Handler::*)(ACE_HANDLE);

    CReactorDispatchIOSetCmd(Policy& policy, ACE_Reactor_Mask mask, ACE_Handle_Set& readySet, callback_t callback)
        : CReactorDispatchCmd<Policy>(policy, nullptr),
          _mask(mask),
          _readySet(readySet),
          _callback(callback)
    {
    }

    int execute(int& remaining) override { return this->_policy.dispatch_io_set(*this, remaining); }

    ACE_Reactor_Mask mask() const { return _mask; }
    ACE_Handle_Set& readySet() const { return _readySet; }
    callback_t callback() const { return _callback; }

private:
    ACE_Reactor_Mask _mask;
    ACE_Handle_Set& _readySet;
    callback_t _callback;
};

} // namespace osk
