#pragma once

#include "tftp/tftp_server/state.h"

// The ordering of the engine's queue of transfers. True when a is to be
// serviced after b: a's deadline (activityTime + timeout_usec) is later, or
// the deadlines are equal and a's state object lies at the higher address.
// A heap ordered by it has the earliest deadline on top, ties going to the
// lower address. Also true when either pointer is null.
struct CStatePriority {
    bool operator()(const CStatePtr& a, const CStatePtr& b) const
    {
        if (!a || !b) return true;
        const osk::CTimeval da = a->deadline();
        const osk::CTimeval db = b->deadline();
        if (da == db) return a.get() > b.get();
        return da > db;
    }
};
