#include "security/table_rights.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kNoRightsForDomain = "Unable to find table rights for domain ID %1.";
const char* const kNoRightsForDomainWhy = "Table rights do not exist.";
} // namespace

void CTableRights::grant(const CDomainID& domain, const std::string& name, const CAccessRights& rights)
{
    // Granting nothing must not make the user a member of the domain.
    if (rights.empty()) return;
    _entries[domain].grant(name, rights);
}

void CTableRights::revoke(const CDomainID& domain)
{
    _entries.erase(domain);
}

void CTableRights::revoke(const CDomainID& domain, const std::string& name)
{
    auto found = _entries.find(domain);
    if (found == _entries.end()) return;
    found->second.revoke(name);
    _dropIfEmpty(found);
}

void CTableRights::revoke(const CDomainID& domain, const std::string& name, const CAccessRights& rights)
{
    auto found = _entries.find(domain);
    if (found == _entries.end()) return;
    found->second.revoke(name, rights);
    _dropIfEmpty(found);
}

void CTableRights::assign(const CDomainID& domain, const CTableRightsEntry& entry)
{
    // Erase first: a map keeps its old key on assignment, and the key carries
    // the domain type.
    _entries.erase(domain);
    _entries.emplace(domain, entry);
}

void CTableRights::merge(const CDomainID& domain, const CTableRightsEntry& entry)
{
    _entries[domain].merge(entry);
}

void CTableRights::clear()
{
    _entries.clear();
    _superUser = false;
}

bool CTableRights::has(const CDomainID& domain) const
{
    return _superUser || find(domain) != nullptr;
}

bool CTableRights::has(const CDomainID& domain, const std::string& name) const
{
    if (_superUser) return true;
    const CTableRightsEntry* entry = find(domain);
    return entry && entry->has(name);
}

const CTableRightsEntry& CTableRights::operator[](const CDomainID& domain) const
{
    const CTableRightsEntry* entry = find(domain);
    if (!entry)
        throw OSK_SECURITY_EXCEPTION(CMessage(kNoRightsForDomain).push(domain.id()), CMessage(kNoRightsForDomainWhy),
                                     "CTableRights::operator[]");
    return *entry;
}

const CTableRightsEntry* CTableRights::find(const CDomainID& domain) const
{
    auto found = _entries.find(domain);
    return found == _entries.end() ? nullptr : &found->second;
}

void CTableRights::_dropIfEmpty(map_t::iterator entry)
{
    if (entry->second.empty()) _entries.erase(entry);
}

} // namespace osk
