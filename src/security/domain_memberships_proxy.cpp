#include "security/domain_memberships_proxy.h"

#include "security/i_secured_object.h"

namespace osk {

CDomainMembershipsProxy::CDomainMembershipsProxy(CISecuredObject& owner)
    : _owner(&owner), _domains(owner.memberships())
{
}

void CDomainMembershipsProxy::insert(const CDomainID& domain, CDomainID::domain_type type)
{
    _domains.insert(domain, type);
    _changed();
}

bool CDomainMembershipsProxy::insertIf(const CDomainID& domain)
{
    const bool inserted = _domains.insertIf(domain);
    if (inserted) _changed();
    return inserted;
}

bool CDomainMembershipsProxy::remove(const CDomainID& domain, bool removeSuperUsers)
{
    const bool removed = _domains.remove(domain, removeSuperUsers);
    if (removed) _changed();
    return removed;
}

void CDomainMembershipsProxy::removeAll(bool removeSuperUsers)
{
    _domains.removeAll(removeSuperUsers);
    _changed();
}

void CDomainMembershipsProxy::update()
{
    _owner->memberships(_domains);
    _pending = false;
}

void CDomainMembershipsProxy::_changed()
{
    _pending = true;
    if (!_deferred) update();
}

} // namespace osk
