#pragma once

#include "security/domain_memberships.h"

namespace osk {

class CISecuredObject;

// A working copy of a secured object's memberships. Changes made through the
// proxy are written back to the object at once, unless deferredUpdate() was
// called: then they are held until update() writes them back.
class CDomainMembershipsProxy {
public:
    explicit CDomainMembershipsProxy(CISecuredObject& owner);

    const CDomainMemberships& operator*() const { return _domains; }
    const CDomainMemberships* operator->() const { return &_domains; }

    void insert(const CDomainID& domain, CDomainID::domain_type type);
    bool insertIf(const CDomainID& domain);
    bool remove(const CDomainID& domain, bool removeSuperUsers = false);
    void removeAll(bool removeSuperUsers = false);

    // From now on changes wait for update().
    void deferredUpdate() { _deferred = true; }
    // Writes the copy back to the owner; nothing is pending afterwards.
    void update();
    // No write-back is pending.
    bool noDeferredUpdate() const { return !_pending; }

private:
    void _changed();

    CISecuredObject* _owner;
    CDomainMemberships _domains;
    bool _deferred = false;
    bool _pending = false;
};

} // namespace osk
