#include "prst_generic/prst_user_account.h"

#include <algorithm>

#include "security/security_constants.h"
#include "standard/number_conversion.h"

using M = CPrstGenericMessages;

CPrstClassSpec CPrstUserAccount::_makeSpec()
{
    return CPrstClassSpec("CPrstUserAccount", "user_account", "osk_user_accounts", true);
}

CPrstUserAccount::ptr_t CPrstUserAccount::findByName(CPrstContext& context, const std::string& name)
{
    list_t found = fastSelectRec(context, "user_account.name", {name}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

std::vector<osk::CDomainID> CPrstUserAccount::minCreateRights() const
{
    std::vector<osk::CDomainID> domains;
    for (const std::string& item : CPrstAccountDomains::items(_minCreateRights.value())) {
        osk::CNumberConversion number(item);
        if (number.isNumber() && number.isValid())
            domains.emplace_back(number.toInt64(), osk::CDomainID::user_role);
    }
    return domains;
}

void CPrstUserAccount::minCreateRights(const std::string& text)
{
    const CPrstAccountDomains resolver = _resolver();
    std::string ids;
    for (const std::string& item : CPrstAccountDomains::items(text)) {
        auto role = std::find_if(domains().begin(), domains().end(),
                                 [&](const named_t::value_type& domain) { return resolver.text(domain) == item; });
        if (role == domains().end()) {
            std::string roles;
            for (const auto& domain : domains()) roles += (roles.empty() ? "" : ",") + domain.second;
            throw OSK_EXCEPTION(osk::CMessage(M::notAmongRoles, M::module).pushs(item),
                                osk::CMessage(M::rolesSubset, M::module).pushs(roles),
                                "CPrstUserAccount::minCreateRights", M::module);
        }
        ids += (ids.empty() ? "" : ",") + role->first.idstr();
    }
    _minCreateRights.value(ids);
}

void CPrstUserAccount::setSuperUser()
{
    _wellKnownOid(osk::CAccessID::superUserID().id());
    name(osk::CAccessID::superUserName());
    description("Administrator");
}

void CPrstUserAccount::_get(osk::CStringMap& map) const
{
    CPrstAccount::_get(map);
    map.set_string("pass", osk::CSecurityConstants::passwordPlaceholder());
    std::string domains;
    for (const osk::CDomainID& domain : minCreateRights()) {
        auto known = this->domains().find(domain);
        domains += (domains.empty() ? "" : ",") +
                   (known == this->domains().end() ? domain.idstr() : _resolver().text(*known));
    }
    map.set_string("min_create_rights", domains);
}

void CPrstUserAccount::_set(const osk::CStringMap& map)
{
    CPrstAccount::_set(map);
    if (map.defined("pass") && map.get_string("pass") != osk::CSecurityConstants::passwordPlaceholder())
        pass(map.get_string("pass"));
    if (map.defined("min_create_rights")) minCreateRights(map.get_string("min_create_rights"));
}
