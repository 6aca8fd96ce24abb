#include "security/role_helper.h"

#include <algorithm>
#include <utility>

#include "security/security_exception.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "prst_generic";
const char* const kNoSuchTable = "Table '%1' does not exist.";
const char* const kNoSuchTableWhy = "Available tables are: %1";
const char* const kNoSuchDomain = "Cannot translate domain '%1' to an OID.";
const char* const kNoSuchDomainWhy = "Domain doesn't exist.";

const char* const kItemSeparator = "/";
const char* const kRightsSeparator = ":";
const char* const kDomainClass = "domain";

std::string availableTables()
{
    std::string list;
    for (const std::string& name : CRoleHelper::formalClassNames()) {
        if (!list.empty()) list += ", ";
        list += name;
    }
    return list;
}
} // namespace

const std::vector<std::string>& CRoleHelper::formalClassNames()
{
    static const std::vector<std::string> names = {
        "account",         "user_account", "domain",     "domain_group",     "access_control",
        "user_access_control", "keyvalue", "sql_query",  "sql_query_group",  "snmp_query",
        "snmp_query_group", "capability",  "user_role",  "policy",
    };
    return names;
}

bool CRoleHelper::isClassName(const std::string& name)
{
    const auto& names = formalClassNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

void CRoleHelper::tableRights(const std::string& text, CTableRightsEntry& entry)
{
    // Parse everything first so that a bad item leaves the entry untouched.
    std::vector<std::pair<std::string, CAccessRights>> parsed;
    // Items are not trimmed as a whole: the rights text after the colon
    // keeps its blanks for the rights parser.
    for (const std::string& item : CStringUtil::split(text, kItemSeparator, "", CStringUtil::keepEmpty)) {
        if (CStringUtil::trim(item).empty()) continue;
        const size_t colon = item.find(kRightsSeparator);
        const std::string name = CStringUtil::trim(item.substr(0, colon));
        if (name != CTableRightsEntry::anyTable && !isClassName(name))
            throw OSK_SECURITY_EXCEPTION_M(CMessage(kNoSuchTable).pushs(name),
                                           CMessage(kNoSuchTableWhy).pushs(availableTables()),
                                           "CRoleHelper::tableRights", kModule);
        CAccessRights rights;
        if (colon != std::string::npos) rights.string(item.substr(colon + 1));
        parsed.emplace_back(name, rights);
    }
    for (const auto& item : parsed) entry.grant(item.first, item.second);
    const CAccessRights* domainRights = entry.find(kDomainClass);
    if (!domainRights || !domainRights->has(CAccessRights::read))
        entry.grant(kDomainClass, CAccessRights(CAccessRights::read));
}

std::string CRoleHelper::tableRights(const CTableRights& rights) const
{
    std::string text;
    for (const auto& domain : rights) {
        if (!text.empty()) text += "//";
        text += translateToString(domain.first);
        text += "::";
        text += domain.second.string();
    }
    return text;
}

std::string CRoleHelper::translateToString(const CDomainID& domain) const
{
    auto found = _names.find(domain);
    return found == _names.end() ? domain.idstr() : found->second;
}

std::string CRoleHelper::translateToString(const std::vector<CDomainID>& domains) const
{
    std::string text;
    for (const CDomainID& domain : domains) {
        if (!text.empty()) text += ",";
        text += translateToString(domain);
    }
    return text;
}

CDomainID CRoleHelper::translateToOID(const std::string& name) const
{
    for (const auto& item : _names) {
        if (item.second == name) return item.first;
    }
    throw OSK_SECURITY_EXCEPTION_M(CMessage(kNoSuchDomain).pushs(name), CMessage(kNoSuchDomainWhy),
                                   "CRoleHelper::translateToOID", kModule);
}

std::vector<CDomainID> CRoleHelper::translateToOIDs(const std::string& text) const
{
    std::vector<CDomainID> domains;
    for (const std::string& name : CStringUtil::split(text)) domains.push_back(translateToOID(name));
    return domains;
}

} // namespace osk
