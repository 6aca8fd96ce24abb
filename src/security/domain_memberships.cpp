#include "security/domain_memberships.h"

#include "standard/string_map.h"

namespace osk {

CDomainMemberships::CDomainMemberships()
{
    _domains.insert(CDomainID::superUsersID());
}

void CDomainMemberships::insert(const CDomainID& domain, CDomainID::domain_type type)
{
    CDomainID element(domain.id(), type);
    _domains.erase(element);
    _domains.insert(element);
}

bool CDomainMemberships::insertIf(const CDomainID& domain)
{
    return _domains.insert(domain).second;
}

void CDomainMemberships::insert(const CDomainMemberships& other)
{
    for (const CDomainID& domain : other._domains) insert(domain, domain.domainType());
}

bool CDomainMemberships::remove(const CDomainID& domain, bool removeSuperUsers)
{
    if (domain == CDomainID::superUsersID() && !removeSuperUsers) return false;
    return _domains.erase(domain) != 0;
}

bool CDomainMemberships::remove(int64_t id, bool removeSuperUsers)
{
    return remove(CDomainID(id), removeSuperUsers);
}

void CDomainMemberships::removeAll(bool removeSuperUsers)
{
    const bool keep = !removeSuperUsers && findID(CDomainID::superUsersID()) != nullptr;
    const CDomainID superUsers = keep ? *findID(CDomainID::superUsersID()) : CDomainID();
    _domains.clear();
    if (keep) _domains.insert(superUsers);
}

const CDomainID* CDomainMemberships::findID(const CDomainID& domain) const
{
    auto found = _domains.find(domain);
    return found == _domains.end() ? nullptr : &*found;
}

const CDomainID* CDomainMemberships::findID(int64_t id) const
{
    return findID(CDomainID(id));
}

std::vector<int64_t> CDomainMemberships::ids() const
{
    std::vector<int64_t> result;
    result.reserve(_domains.size());
    for (const CDomainID& domain : _domains) result.push_back(domain.id());
    return result;
}

std::vector<CDomainID> CDomainMemberships::roles() const
{
    std::vector<CDomainID> result;
    for (const CDomainID& domain : _domains) {
        if (domain.domainType() == CDomainID::user_role) result.push_back(domain);
    }
    return result;
}

void CDomainMemberships::assignFromIntersect(const CDomainMemberships& other, const CTableRights& rights)
{
    set_t kept;
    for (const CDomainID& domain : other._domains) {
        if (rights.find(domain)) kept.insert(domain);
    }
    _domains.swap(kept);
}

std::string CDomainMemberships::string() const
{
    CStringMap record(false);
    for (const CDomainID& domain : _domains)
        record.string_insert(domain.idstr(), CDomainID::typeString(domain.domainType()));
    return record.string();
}

bool operator==(const CDomainMemberships& a, const CDomainMemberships& b)
{
    if (a._domains.size() != b._domains.size()) return false;
    auto left = a._domains.begin();
    for (const CDomainID& right : b._domains) {
        if (*left != right || left->domainType() != right.domainType()) return false;
        ++left;
    }
    return true;
}

} // namespace osk
