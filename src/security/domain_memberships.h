#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "security/domain_id.h"
#include "security/table_rights.h"

namespace osk {

// The domains a secured object belongs to, ordered by id, each with its
// domain type. Every object belongs to the administrators' domain: a new set
// already holds it (as a role), and it only leaves on explicit request.
class CDomainMemberships {
public:
    using set_t = std::set<CDomainID>;
    using const_iterator = set_t::const_iterator;

    CDomainMemberships();

    // Inserts the domain with the given type, replacing the type of an
    // element already present.
    void insert(const CDomainID& domain, CDomainID::domain_type type);
    // Inserts the domain (with its own type) only when absent; true when inserted.
    bool insertIf(const CDomainID& domain);
    // Inserts every element of the other set, replacing types.
    void insert(const CDomainMemberships& other);

    // Remove one domain, or every domain. The administrators' domain goes only
    // when removeSuperUsers is true. True when something was removed.
    bool remove(const CDomainID& domain, bool removeSuperUsers = false);
    bool remove(int64_t id, bool removeSuperUsers = false);
    void removeAll(bool removeSuperUsers = false);

    // The element with that id, or null.
    const CDomainID* findID(const CDomainID& domain) const;
    const CDomainID* findID(int64_t id) const;

    // The ids in order.
    std::vector<int64_t> ids() const;
    // The elements of type user_role, in order.
    std::vector<CDomainID> roles() const;

    // Keeps the elements of other whose domain has rights in the table rights.
    void assignFromIntersect(const CDomainMemberships& other, const CTableRights& rights);

    size_t size() const { return _domains.size(); }
    bool empty() const { return _domains.empty(); }
    const_iterator begin() const { return _domains.begin(); }
    const_iterator end() const { return _domains.end(); }

    // Record text: one line per domain, the decimal id as key and the type
    // text as value.
    std::string string() const;

    friend bool operator==(const CDomainMemberships& a, const CDomainMemberships& b);
    friend bool operator!=(const CDomainMemberships& a, const CDomainMemberships& b) { return !(a == b); }

private:
    set_t _domains;
};

} // namespace osk
