#include "security/secure_where.h"

#include "extended/message.h"

namespace osk {

namespace {
// %1 the SQL table of the class, %2 the domain ids joined by ",".
const char* const kDomainFilter =
    " T.PK IN (SELECT XT.PK from %1 XT JOIN osk_secured_object XSC ON XT.SECURED_REF = XSC.PK JOIN "
    "osk_domain_mships XDM ON XSC.DOM_MEMBERSHIPS_REF = XDM.PK JOIN osk_domain_mships_links XT_ ON "
    "XT_.SRC_ATTR_REF = XDM.PK JOIN osk_domain_id XDI ON XDI.SRC_PK = XT.PK WHERE (XDI.domain_id IN (%2)))";
const char* const kAndFilter = " AND (%1)";
} // namespace

std::string CSecureWhere::secureWhere(const CUserAccessToken& token, bool secure, CAccessRights::right_t right,
                                      const std::string& name, const std::string& table, const std::string& where)
{
    const CTableRights& rights = token.tableRights();
    if (!secure || rights.empty()) return where;

    std::vector<int64_t> ids;
    for (const auto& domain : rights) {
        if (domain.first == CDomainID::superUsersID()) return where;
        if (domain.second.has(name, right)) ids.push_back(domain.first.id());
    }
    const std::string domainFilter = filter(table, ids);
    if (where.empty()) return domainFilter;
    return where + CMessage(kAndFilter).pushs(domainFilter).formatted();
}

std::string CSecureWhere::filter(const std::string& table, const std::vector<int64_t>& domainIDs)
{
    if (domainIDs.empty()) return noRowsFilter();
    std::string list;
    for (int64_t id : domainIDs) {
        if (!list.empty()) list += ",";
        list += std::to_string(id);
    }
    return CMessage(kDomainFilter).pushs(table).pushs(list).formatted();
}

} // namespace osk
