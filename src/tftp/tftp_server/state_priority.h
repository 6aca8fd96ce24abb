#pragma once

#include "tftp/tftp_interfaces/state.h"

// The ordering of the engine's queue of transfers. True when a is to be
// serviced after b: a is due later (see CState::dueTime: the deadline of a
// transfer waiting for its client, at once for one with something to send),
// or both are due together and a's state object lies at the higher address.
// A heap ordered by it has the transfer due first on top, ties going to the
// lower address. Also true when either pointer is null.
struct CStatePriority {
    bool operator()(const CStatePtr& a, const CStatePtr& b) const
    {
        if (!a || !b) return true;
        const osk::CTimeval da = a->dueTime();
        const osk::CTimeval db = b->dueTime();
        if (da == db) return a.get() > b.get();
        return da > db;
    }
};
