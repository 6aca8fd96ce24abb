#pragma once

#include "ace_ext/reactor_handle_set.h"

namespace osk {

// The handle sets a reactor keeps from turn to turn: the wait set (handles
// registered and not suspended, with their masks), the suspended set (bits of
// suspended handles, kept so that resuming restores the mask) and the ready
// set that each select() call fills.
class CReactorHandleSetMgr {
public:
    CReactorHandleSet& waitSet() { return _wait; }
    const CReactorHandleSet& waitSet() const { return _wait; }
    CReactorBaseHandleSet& suspendedSet() { return _suspended; }
    const CReactorBaseHandleSet& suspendedSet() const { return _suspended; }
    CReactorHandleSet& readySet() { return _ready; }

    // Refills the ready set from the wait set and returns it.
    CReactorHandleSet& prepareReadySet();
    // Empties every set.
    void reset();

private:
    CReactorHandleSet _wait;
    CReactorBaseHandleSet _suspended;
    CReactorHandleSet _ready;
};

} // namespace osk
