#pragma once

#include <map>
#include <string>

#include "security/domain_id.h"
#include "security/table_rights_entry.h"

namespace osk {

// The rights of a user: for every domain the user belongs to, the rights held
// there, plus the super-user flag (set when the user is an administrator).
// Domains are visited in id order.
class CTableRights {
public:
    using map_t = std::map<CDomainID, CTableRightsEntry>;
    using const_iterator = map_t::const_iterator;

    void grant(const CDomainID& domain, const std::string& name, const CAccessRights& rights);
    // Revoking drops the domain once its entry is left without classes.
    void revoke(const CDomainID& domain);
    void revoke(const CDomainID& domain, const std::string& name);
    void revoke(const CDomainID& domain, const std::string& name, const CAccessRights& rights);
    // Replaces the domain's entry (an empty entry is kept: the domain is
    // then a member without rights).
    void assign(const CDomainID& domain, const CTableRightsEntry& entry);
    // Merges into the domain's entry, creating it.
    void merge(const CDomainID& domain, const CTableRightsEntry& entry);
    // Forgets every domain and the super-user flag.
    void clear();

    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    const_iterator begin() const { return _entries.begin(); }
    const_iterator end() const { return _entries.end(); }

    void superUserAccess() { _superUser = true; }
    // Grants or withdraws super-user access (withdrawn when a token leaves
    // the administrators' domain).
    void superUserAccess(bool granted) { _superUser = granted; }
    bool superUser() const { return _superUser; }

    // Super user, or the domain has an entry.
    bool has(const CDomainID& domain) const;
    // Super user, or the domain's entry names the class or "*".
    bool has(const CDomainID& domain, const std::string& name) const;

    // The domain's entry; raises "Unable to find table rights for domain ID %1."
    // when there is none.
    const CTableRightsEntry& operator[](const CDomainID& domain) const;
    // The domain's entry, or null.
    const CTableRightsEntry* find(const CDomainID& domain) const;

    friend bool operator==(const CTableRights& a, const CTableRights& b)
    {
        return a._superUser == b._superUser && a._entries == b._entries;
    }

private:
    void _dropIfEmpty(map_t::iterator entry);

    map_t _entries;
    bool _superUser = false;
};

} // namespace osk
