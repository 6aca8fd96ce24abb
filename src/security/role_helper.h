#pragma once

#include <map>
#include <string>
#include <vector>

#include "security/domain_id.h"
#include "security/table_rights.h"
#include "security/table_rights_entry.h"

namespace osk {

// Text forms of role rights for the console. Rights text is a list of items
// separated by "/", each a class formal name (or "*"), ":" and a rights text.
// Domains are shown by name; the names come from the domain table and are
// handed to the helper by its owner.
class CRoleHelper {
public:
    using domain_names_t = std::map<CDomainID, std::string>;

    CRoleHelper() = default;
    explicit CRoleHelper(const domain_names_t& names) : _names(names) {}

    const domain_names_t& domainNames() const { return _names; }
    void domainNames(const domain_names_t& names) { _names = names; }

    // The formal names of the persistent classes on which rights are granted.
    static const std::vector<std::string>& formalClassNames();
    static bool isClassName(const std::string& name);

    // Grants the rights of text into entry. An unknown class raises "Table
    // '%1' does not exist." before anything is granted; a role always ends up
    // with read on "domain".
    static void tableRights(const std::string& text, CTableRightsEntry& entry);
    // Per domain in id order: the domain name, "::" and the entry text;
    // domains joined by "//".
    std::string tableRights(const CTableRights& rights) const;

    // The name of the domain; a domain without a known name is shown by its id.
    std::string translateToString(const CDomainID& domain) const;
    // Names of the domains joined by ",".
    std::string translateToString(const std::vector<CDomainID>& domains) const;
    // The domain of a name; raises "Cannot translate domain '%1' to an OID.".
    CDomainID translateToOID(const std::string& name) const;
    // A list of names separated by "," (blanks around names ignored, empty
    // items skipped) to domains.
    std::vector<CDomainID> translateToOIDs(const std::string& text) const;

private:
    domain_names_t _names;
};

} // namespace osk
