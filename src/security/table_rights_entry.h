#pragma once

#include <map>
#include <string>

#include "security/access_rights.h"

namespace osk {

// The rights held in one domain: class formal name (or "*" for every class)
// to rights. Names compare byte-wise and case-sensitively. The map never
// holds an empty mask: an update that leaves an entry without bits removes it.
class CTableRightsEntry {
public:
    using map_t = std::map<std::string, CAccessRights>;
    using const_iterator = map_t::const_iterator;

    static constexpr const char* anyTable = "*";

    // The entry for name becomes its old rights or rights.
    void grant(const std::string& name, const CAccessRights& rights);
    // The entry for name loses the given bits.
    void revoke(const std::string& name, const CAccessRights& rights);
    // The entry for name goes.
    void revoke(const std::string& name);

    // Any bit of right is held by the "*" entry, or else by the entry for
    // name (for right 0: one of these entries is empty, which never happens).
    bool has(const std::string& name, CAccessRights::right_t right) const;
    // Every bit of rights is held within one entry: the "*" entry, or else
    // the entry for name. Bits spread over both entries do not count.
    bool has(const std::string& name, const CAccessRights& rights) const;
    // An entry exists for "*" or for name.
    bool has(const std::string& name) const;

    // Grants every entry of other into this one.
    void merge(const CTableRightsEntry& other);

    // The rights of name; raises "Unable to find access rights for table '%1'."
    // when there is no entry for it.
    const CAccessRights& operator[](const std::string& name) const;
    // The rights of name, or null.
    const CAccessRights* find(const std::string& name) const;

    // The rights of name together with those of "*": what the entry grants on
    // that class.
    CAccessRights effective(const std::string& name) const;

    size_t size() const { return _rights.size(); }
    bool empty() const { return _rights.empty(); }
    void clear() { _rights.clear(); }
    const_iterator begin() const { return _rights.begin(); }
    const_iterator end() const { return _rights.end(); }

    // Each class in name order as name ":" rights text, joined by "/", the
    // last one followed by ",".
    std::string string() const;

    friend bool operator==(const CTableRightsEntry& a, const CTableRightsEntry& b) { return a._rights == b._rights; }
    friend bool operator!=(const CTableRightsEntry& a, const CTableRightsEntry& b) { return !(a == b); }

private:
    map_t _rights;
};

} // namespace osk
