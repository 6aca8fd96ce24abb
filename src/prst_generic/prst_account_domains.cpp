#include "prst_generic/prst_account_domains.h"

#include "extended/exception.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_generic_messages.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

using M = CPrstGenericMessages;

namespace {
const char* const kDomainOfName = "domain.name";
const char* const kNameOfDomainId = "domainnameid.id";
const char* const kRolesOfDomain = "role.domain";
const char* const kDomainOfId = "SELECT T.* FROM osk_domains T WHERE (T.OID = ?)";
} // namespace

void CPrstAccountDomains::_refuse(const char* why, const std::string& item)
{
    throw OSK_EXCEPTION(osk::CMessage(M::cannotSetAcl, M::module), osk::CMessage(why, M::module).pushs(item),
                        "CPrstAccountDomains::resolve", M::module);
}

CPrstAccountDomains::named_t::value_type CPrstAccountDomains::resolve(const std::string& item) const
{
    const bool numeric = _context.serializeNumeric();
    const char* const unknown = numeric ? M::notADomainId : M::notADomainName;
    std::string sql = _context.statement(kDomainOfName);
    CDBValues args{item};
    if (numeric) {
        osk::CNumberConversion number(item);
        if (!number.isNumber() || !number.isValid()) _refuse(M::notANumericDomainId, item);
        sql = kDomainOfId;
        args = {number.toInt64()};
    }
    CDBTransaction& transaction = _context.transaction();
    osk::CDomainID domain;
    std::string name;
    {
        auto rows = transaction.select(sql, args);
        if (!rows->fetch()) _refuse(unknown, item);
        domain = osk::CDomainID(rows->asInt64("OID"),
                                static_cast<osk::CDomainID::domain_type>(rows->asInt64("DOMAIN_TYPE")));
        name = rows->asString("NAME");
    }
    if (_kind == rolesOnly) {
        auto roles = transaction.select(_context.statement(kRolesOfDomain), {domain.id()});
        if (!roles->fetch()) _refuse(unknown, item);
    }
    return {domain, name};
}

CPrstAccountDomains::named_t CPrstAccountDomains::resolve(const std::vector<std::string>& items) const
{
    named_t domains;
    for (const std::string& item : items) domains.insert(resolve(item));
    return domains;
}

std::string CPrstAccountDomains::nameOf(const osk::CDomainID& domain) const
{
    auto rows = _context.transaction().select(_context.statement(kNameOfDomainId), {domain.id()});
    return rows->fetch() ? rows->asString("NAME") : std::string();
}

std::string CPrstAccountDomains::text(const named_t::value_type& domain) const
{
    if (_context.serializeNumeric() || domain.second.empty()) return domain.first.idstr();
    return domain.second;
}

std::string CPrstAccountDomains::text(const named_t& domains) const
{
    std::string list;
    for (const auto& domain : domains) list += (list.empty() ? "" : ",") + text(domain);
    return list;
}

std::vector<std::string> CPrstAccountDomains::items(const std::string& text)
{
    return osk::CStringUtil::split(text, ",", osk::CStringUtil::whitespace);
}
