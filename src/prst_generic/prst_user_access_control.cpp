#include "prst_generic/prst_user_access_control.h"

#include "prst_generic/prst_user_account.h"

CPrstClassSpec CPrstUserAccessControl::_makeSpec()
{
    return CPrstClassSpec("CPrstUserAccessControl", "user_access_control", "osk_user_access_control", false);
}

int64_t CPrstUserAccessControl::targetOid(CPrstContext& context, const osk::CDomainID& domain)
{
    auto roles = CPrstRole::selectByDomain(context, domain, 1);
    return roles.empty() ? CPrstFKAttr::noTarget : roles.front()->oid();
}
