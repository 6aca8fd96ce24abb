// The login look-up on the embedded engine: the administrator's and an
// ordinary user's capabilities, the token built from them, and the users
// whose look-up fails (unknown, a domain without a role, a domain with two)
// with the transaction rolled back.
#include "prst_generic/login_credentials.h"

#include <gtest/gtest.h>

#include <string>

#include "prst_account_fixture.h"
#include "prst_generic/prst_user_access_control.h"
#include "prst_generic/prst_user_account.h"
#include "security/user_access_token.h"

namespace {

using prsttest::PrstAccountTest;

class LoginCredentialsTest : public PrstAccountTest {
protected:
    void user(const std::string& text)
    {
        committed(admin, [&] {
            auto account = CPrstUserAccount::findByName(admin, fields(text).get_string("name"));
            if (account) return;
            account = CPrstUserAccount::createTransient(admin);
            account->string(text);
            account->commit();
        });
    }
    osk::CCapabilities lookUp(const std::string& name) { return CLoginCredentials(admin).find(name); }
    static osk::CUserAccessToken tokenOf(const osk::CCapabilities& capabilities)
    {
        osk::CUserAccessToken token;
        token.tableRights(capabilities.tableRights());
        token.createRights(capabilities.createRights());
        return token;
    }
    // Puts an account into a domain through a raw access control, bypassing
    // the account's check that the domain has a role.
    void addControl(const std::string& account, int64_t domainId)
    {
        committed(admin, [&] {
            const int64_t accessId = CPrstUserAccount::findByName(admin, account)->oid();
            for (const auto& id : CPrstUserAccessControl::findDomains(admin, osk::CAccessID(accessId)))
                if (id.id() == domainId) return;
            auto control = CPrstUserAccessControl::createTransient(admin);
            control->accessID(osk::CAccessID(accessId));
            control->domainID(osk::CDomainID(domainId));
            control->commit();
        });
    }
};

TEST_F(LoginCredentialsTest, AnAdministratorGetsEveryRight)
{
    committed(admin, [&] {
        if (!CPrstRole::selectByDomain(admin, osk::CDomainID::superUsersID()).empty()) return;
        auto role = CPrstRole::createTransient(admin);
        role->string("domain_oid=0\ncapabilities=*:all\n");
        role->commit();
    });
    user("name=login-admin\npass=aa-bb\nlocale=en\nacl=Administrators\n");
    const osk::CCapabilities capabilities = lookUp("login-admin");
    EXPECT_EQ("aa-bb", capabilities.password());
    EXPECT_EQ("en", capabilities.locale());
    ASSERT_EQ(1u, capabilities.tableRights().size());
    const osk::CTableRightsEntry& entry = capabilities.tableRights()[osk::CDomainID::superUsersID()];
    EXPECT_EQ(osk::CAccessRights(osk::CAccessRights::all), entry["*"]);

    const osk::CUserAccessToken token = tokenOf(capabilities);
    EXPECT_TRUE(token.tableRights().superUser());
    EXPECT_EQ(osk::CAccessRights(osk::CAccessRights::create), token.createRight("policy"));
    EXPECT_FALSE(admin.inTransaction());
}

TEST_F(LoginCredentialsTest, AUserGetsTheRightsOfTheRolesOfTheirDomains)
{
    role("Login Readers", "capabilities=policy:read\n");
    role("Login Writers", "capabilities=keyvalue:read,write,create/domain:read\n");
    user("name=login-user\npass=01-02\nlocale=fr\nacl=Login Readers,Login Writers\n"
         "min_create_rights=Login Writers\n");
    const int64_t readers = domain("Login Readers"), writers = domain("Login Writers");

    const osk::CCapabilities capabilities = lookUp("login-user");
    EXPECT_EQ("01-02", capabilities.password());
    EXPECT_EQ("fr", capabilities.locale());
    ASSERT_EQ(1u, capabilities.createRights().size());
    EXPECT_EQ(writers, capabilities.createRights().front().id());

    const osk::CUserAccessToken token = tokenOf(capabilities);
    EXPECT_FALSE(token.tableRights().superUser());
    EXPECT_EQ(std::to_string(readers) + "::domain:read/policy:read,//" + std::to_string(writers) +
                  "::domain:read/keyvalue:read,write,create,",
              token.string());
    EXPECT_EQ(osk::CAccessRights(osk::CAccessRights::none), token.createRight("policy"));
    EXPECT_EQ(osk::CAccessRights(osk::CAccessRights::create), token.createRight("keyvalue"));
}

TEST_F(LoginCredentialsTest, AUserWithoutDomainsGetsNoRights)
{
    user("name=login-nobody\n");
    const osk::CCapabilities capabilities = lookUp("login-nobody");
    EXPECT_TRUE(capabilities.tableRights().empty());
    EXPECT_TRUE(capabilities.createRights().empty());
}

TEST_F(LoginCredentialsTest, AnUnknownUserFails)
{
    EXPECT_TRUE(raises([&] { lookUp("login-nobody-at-all"); }, "Login failure for user 'login-nobody-at-all'.",
                       "No such user account.", "prst_generic"));
    EXPECT_FALSE(admin.inTransaction());
}

TEST_F(LoginCredentialsTest, ADomainWithoutARoleFailsTheWholeLookUp)
{
    role("Login Fine", "capabilities=policy:read\n");
    const int64_t bare = domain("Login Bare");
    user("name=login-bare\nacl=Login Fine\n");
    addControl("login-bare", bare);
    EXPECT_EQ("Unable to find role matching domain ID " + std::to_string(bare) +
                  ". / There is an internal database error caused by a foreign key problem.",
              failure([&] { lookUp("login-bare"); }));
    EXPECT_FALSE(admin.inTransaction());
    // The context is usable again at once: with a role for the domain, the
    // same user logs in.
    committed(admin, [&] {
        auto added = CPrstRole::createTransient(admin);
        added->string("domain_oid=" + std::to_string(bare) + "\ncapabilities=keyvalue:read\n");
        added->commit();
    });
    EXPECT_EQ(2u, lookUp("login-bare").tableRights().size());
}

TEST_F(LoginCredentialsTest, ADomainWithTwoRolesFailsTheWholeLookUp)
{
    role("Login Twice", "capabilities=policy:read\n");
    const int64_t twice = domain("Login Twice");
    committed(admin, [&] {
        if (CPrstRole::selectByDomain(admin, osk::CDomainID(twice)).size() > 1) return;
        auto second = CPrstRole::createTransient(admin);
        second->string("domain_oid=" + std::to_string(twice) + "\ncapabilities=keyvalue:read\n");
        second->commit();
    });
    user("name=login-twice\nacl=Login Twice\n");
    const int64_t capabilityRows = scalar("SELECT COUNT(*) FROM osk_capability");
    EXPECT_EQ("Unable to find role matching domain ID " + std::to_string(twice) +
                  ". / There is an internal database error caused by a foreign key problem.",
              failure([&] { lookUp("login-twice"); }));
    EXPECT_FALSE(admin.inTransaction());
    EXPECT_EQ(capabilityRows, scalar("SELECT COUNT(*) FROM osk_capability"));
}

} // namespace
