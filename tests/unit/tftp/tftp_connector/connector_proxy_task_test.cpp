// What the console's database proxy decides before any database work: the
// key of a stored query and the check of privileged changes.
#include "tftp/tftp_connector/connector_proxy_task.h"

#include <gtest/gtest.h>

#include "security/domain_id.h"
#include "security/security_exception.h"

namespace {

TEST(ConnectorProxyTaskTest, QueriesAreKeptByClassAndPager)
{
    EXPECT_EQ("CPrstTFTPPolicy_", CConnectorProxyTask::queryKey("CPrstTFTPPolicy", ""));
    EXPECT_EQ("CPrstTFTPPolicy_a", CConnectorProxyTask::queryKey("CPrstTFTPPolicy", "a"));
    EXPECT_NE(CConnectorProxyTask::queryKey("CPrstDomain", "a"), CConnectorProxyTask::queryKey("CPrstTFTPPolicy", "a"));
}

TEST(ConnectorProxyTaskTest, PrivilegedChangesNeedTheAdministratorsDomain)
{
    osk::CUserAccessToken administrator;
    administrator.grantAccess(osk::CDomainID::superUsersID(), "*", osk::CAccessRights(osk::CAccessRights::read));
    EXPECT_NO_THROW(CConnectorProxyTask::requireSuperUser(administrator));

    // Every right on every class in another domain is not enough.
    osk::CUserAccessToken operatorToken;
    operatorToken.grantAccess(osk::CDomainID(5), "*", osk::CAccessRights(osk::CAccessRights::all));
    try {
        CConnectorProxyTask::requireSuperUser(operatorToken);
        FAIL() << "an operator passed the check";
    } catch (const osk::CSecurityException& e) {
        EXPECT_EQ("Unable to execute privileged command.", e.whatMsg().formatted());
        EXPECT_EQ("You need to become a 'super user' to execute this command.", e.whyMsg().formatted());
        EXPECT_EQ("tftp_connector", e.module());
    }
    EXPECT_THROW(CConnectorProxyTask::requireSuperUser(osk::CUserAccessToken()), osk::CSecurityException);
}

} // namespace
