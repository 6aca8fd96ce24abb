#pragma once

#include <string>
#include <vector>

#include "security/access_rights.h"
#include "security/user_access_token.h"

namespace osk {

// The domain filter that SQL selects of secured classes receive: it keeps
// the rows of objects that belong to a domain in which the token holds the
// right on the class. The main table of the select is aliased T.
class CSecureWhere {
public:
    // The WHERE text for a select on table (the SQL table of class name):
    // where unchanged when secure is false, the token has no rights at all or
    // holds the administrators' domain; else the domain filter alone (empty
    // where) or where followed by " AND (" filter ")".
    static std::string secureWhere(const CUserAccessToken& token, bool secure, CAccessRights::right_t right,
                                   const std::string& name, const std::string& table, const std::string& where);

    // The filter over the given domain ids. With no ids, no row may pass:
    // "IN ()" is not valid SQL, so the filter is then the always-false
    // condition noRowsFilter().
    static std::string filter(const std::string& table, const std::vector<int64_t>& domainIDs);

    static const char* noRowsFilter() { return " (1 = 0)"; }
};

} // namespace osk
