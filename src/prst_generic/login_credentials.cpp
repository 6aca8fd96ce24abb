#include "prst_generic/login_credentials.h"

#include "extended/exception.h"
#include "oodb/db_constants.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_role.h"
#include "prst_generic/prst_transaction.h"
#include "prst_generic/prst_user_access_control.h"
#include "prst_generic/prst_user_account.h"

using M = CPrstGenericMessages;

osk::CCapabilities CLoginCredentials::find(const std::string& user) const
{
    CPrstTransaction transaction(_context);
    auto account = CPrstUserAccount::findByName(_context, user);
    if (!account)
        throw OSK_EXCEPTION(osk::CMessage(M::loginFailure, M::module).pushs(user),
                            osk::CMessage(M::noSuchUser, M::module), "CLoginCredentials::find", M::module);

    osk::CTableRights rights;
    for (const osk::CDomainID& domain : CPrstUserAccessControl::findDomains(_context, account->accessID())) {
        auto roles = CPrstRole::selectByDomain(_context, domain, CDBConstants::defaultMaxObjectsPerSelect);
        if (roles.size() != 1)
            throw OSK_EXCEPTION(osk::CMessage(M::noRoleForDomain, M::module).push(domain.id()),
                                osk::CMessage(M::foreignKeyProblem, M::module), "CLoginCredentials::find",
                                M::module);
        osk::CTableRightsEntry entry;
        roles.front()->findRights(entry);
        rights.assign(roles.front()->domainID(), entry);
    }

    osk::CCapabilities capabilities;
    capabilities.tableRights(rights);
    capabilities.createRights(account->minCreateRights());
    capabilities.password(account->pass());
    capabilities.locale(account->locale());
    transaction.commit();
    return capabilities;
}
