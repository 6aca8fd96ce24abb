#pragma once

#include <ace/Time_Value.h>
#include <sys/select.h>

#include "ace_ext/reactor_handle_set.h"

namespace osk {

// Waits for the handles of a set with select(). select() overwrites the
// set's fd_sets with the ready handles; the caller resynchronises the set.
template <class Registration>
class CReactorSelectWaitPolicy {
public:
    explicit CReactorSelectWaitPolicy(Registration& registration) : _registration(registration) {}

    // Waits up to timeout (forever when null) on the first width descriptors.
    // Returns select()'s result, with errno set on failure.
    int wait(CReactorHandleSet& set, int width, const ACE_Time_Value* timeout)
    {
        timeval tv{};
        if (timeout) tv = *timeout;
        return ::select(width, set.selectSet(CReactorBaseHandleSet::readBit),
                        set.selectSet(CReactorBaseHandleSet::writeBit),
                        set.selectSet(CReactorBaseHandleSet::exceptBit), timeout ? &tv : nullptr);
    }

    Registration& registration() { return _registration; }

private:
    Registration& _registration;
};

} // namespace osk
