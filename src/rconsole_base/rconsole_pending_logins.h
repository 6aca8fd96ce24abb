#pragma once

#include <ace/Basic_Types.h>

#include <cstddef>
#include <list>
#include <map>
#include <vector>

#include "rconsole_base/rconsole_pending_login.h"
#include "standard/tracked_factory.h"

// The connections of one acceptor that have not logged in, oldest first,
// bounded in number: admitting one more than the limit gives the oldest
// back to the caller to be dropped, so idle or slow peers can never keep
// a new console out. Used on the acceptor's thread only.
class CRConsolePendingLogins {
public:
    using login_ptr = osk::CTrackedPtr<CRConsolePendingLogin>;

    explicit CRConsolePendingLogins(size_t limit) : _limit(limit ? limit : 1) {}

    // Admits login as the newest; returns the oldest ones that no longer fit.
    std::vector<login_ptr> admit(login_ptr login);
    // The login on handle; null when there is none.
    CRConsolePendingLogin* find(ACE_HANDLE handle) const;
    // True when login is one of this set's; login is compared, never read.
    bool holds(const CRConsolePendingLogin* login) const;
    // Takes the login out of the set; null when it is not there.
    login_ptr take(const CRConsolePendingLogin* login);
    // Takes every login out, oldest first.
    std::vector<login_ptr> takeAll();

    // Applies to later admissions.
    void limit(size_t limit) { _limit = limit ? limit : 1; }
    size_t limit() const { return _limit; }
    size_t size() const { return _order.size(); }

private:
    std::list<login_ptr>::iterator _find(const CRConsolePendingLogin* login);

    size_t _limit;
    std::list<login_ptr> _order;
    std::map<ACE_HANDLE, std::list<login_ptr>::iterator> _byHandle;
};
