#include "security/access_token.h"
#include "security/rights_thrower.h"
#include "security/user_access_token.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using osk::CAccessRights;
using osk::CDomainID;
using osk::CTableRights;
using osk::CTableRightsEntry;
using osk::CUserAccessToken;

const CAccessRights kRead(CAccessRights::read);
const CAccessRights kWrite(CAccessRights::write);
const CAccessRights kAll(CAccessRights::all);

std::vector<int64_t> domainIds(const osk::CAccessToken& token)
{
    std::vector<int64_t> ids;
    for (const CDomainID& domain : token.domainIDs()) ids.push_back(domain.id());
    return ids;
}

TEST(UserAccessTokenTest, TextFormListsDomainsAndClassesInOrder)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(5), "policy", CAccessRights(CAccessRights::read | CAccessRights::write));
    token.grantAccess(CDomainID(5), "domain", kRead);
    token.grantAccess(CDomainID::superUsersID(), "*", kAll);
    EXPECT_EQ("0::*:read,write,execute,create,//5::domain:read/policy:read,write,", token.string());
    EXPECT_EQ("", CUserAccessToken().string());
}

TEST(UserAccessTokenTest, TextFormCannotBeRead)
{
    CUserAccessToken token;
    EXPECT_TRUE(raises([&] { token.string("0::*:read,"); },
                       "Cannot de-serialize a security access token from text.", "Unsupported operation."));
    osk::CAccessToken base;
    EXPECT_TRUE(raises([&] { base.string(); }, "Invalid method call.", "Wrong subclass."));
    EXPECT_TRUE(raises([&] { base.string("x"); }, "Invalid method call.", "Wrong subclass."));
    // Through the base the derived text form is used.
    const osk::CAccessToken& asBase = token;
    EXPECT_EQ("", asBase.string());
}

TEST(UserAccessTokenTest, GrantJoinsDomainAndDomainZeroMakesSuperUser)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(9), "policy", kRead);
    EXPECT_EQ((std::vector<int64_t>{9}), domainIds(token));
    EXPECT_FALSE(token.tableRights().superUser());

    CTableRightsEntry entry;
    entry.grant("*", kAll);
    token.grantAccess(CDomainID::superUsersID(), entry);
    EXPECT_EQ((std::vector<int64_t>{0, 9}), domainIds(token));
    EXPECT_TRUE(token.tableRights().superUser());

    // Leaving the administrators' domain withdraws super-user access.
    token.revokeAccess(CDomainID::superUsersID());
    EXPECT_FALSE(token.tableRights().superUser());
    EXPECT_EQ((std::vector<int64_t>{9}), domainIds(token));
}

TEST(UserAccessTokenTest, RevokingTheLastClassLeavesTheDomain)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::read | CAccessRights::write));
    token.grantAccess(CDomainID(3), "domain", kRead);
    token.grantAccess(CDomainID(4), "domain", kRead);

    token.revokeAccess(CDomainID(3), "domain");
    EXPECT_EQ((std::vector<int64_t>{3, 4}), domainIds(token));
    token.revokeAccess(CDomainID(3), "policy", kRead);
    EXPECT_EQ((std::vector<int64_t>{3, 4}), domainIds(token));
    token.revokeAccess(CDomainID(3), "policy", kWrite);
    EXPECT_EQ((std::vector<int64_t>{4}), domainIds(token));
    EXPECT_FALSE(token.tableRights().has(CDomainID(3)));
}

TEST(UserAccessTokenTest, SettingTableRightsRebuildsDomains)
{
    CTableRights rights;
    CTableRightsEntry entry;
    entry.grant("domain", kRead);
    rights.assign(CDomainID(2), entry);
    rights.assign(CDomainID(7), entry);
    CUserAccessToken token;
    token.grantAccess(CDomainID(11), "policy", kRead);
    token.tableRights(rights);
    EXPECT_EQ((std::vector<int64_t>{2, 7}), domainIds(token));
    EXPECT_FALSE(token.tableRights().superUser());

    rights.assign(CDomainID::superUsersID(), entry);
    token.tableRights(rights);
    EXPECT_TRUE(token.tableRights().superUser());
}

TEST(UserAccessTokenTest, CreateRightFromAnyDomain)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(2), "policy", kRead);
    EXPECT_EQ(CAccessRights(), token.createRight("policy"));
    token.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::create));
    EXPECT_EQ(CAccessRights(CAccessRights::create), token.createRight("policy"));
    EXPECT_EQ(CAccessRights(), token.createRight("domain"));
    token.grantAccess(CDomainID(4), "*", CAccessRights(CAccessRights::create | CAccessRights::read));
    EXPECT_EQ(CAccessRights(CAccessRights::create), token.createRight("domain"));
}

TEST(UserAccessTokenTest, TokenForCreateKeepsCreateDomainsCoveringTheClass)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(2), "policy", kRead);
    token.grantAccess(CDomainID(3), "domain", kRead);
    token.grantAccess(CDomainID(4), "*", kWrite);
    token.grantAccess(CDomainID(5), "policy", kWrite);

    // Without create domains the whole token is used.
    EXPECT_EQ("2::policy:read,//3::domain:read,//4::*:write,//5::policy:write,",
              token.tokenForCreate("policy").string());

    // Domain 3 has no rights on policies, domain 6 is not the user's.
    token.createRights({CDomainID(3), CDomainID(4), CDomainID(5), CDomainID(6)});
    const CUserAccessToken chosen = token.tokenForCreate("policy");
    EXPECT_EQ((std::vector<int64_t>{4, 5}), domainIds(chosen));
    EXPECT_EQ("4::*:write,//5::policy:write,", chosen.string());
    EXPECT_TRUE(chosen.createRights().empty());

    // No create domain covers the class: the object joins no user domain.
    token.createRights({CDomainID(3)});
    EXPECT_TRUE(token.tokenForCreate("policy").domainIDs().empty());
}

TEST(RightsThrowerTest, RefusesNonMembersAndMembersWithoutTheRight)
{
    CUserAccessToken outsider;
    outsider.grantAccess(CDomainID(5), "*", kAll);
    EXPECT_TRUE(raises([&] { osk::CRightsThrower(CDomainID::superUsersID(), outsider, CAccessRights::write); },
                       "Failed to pass security check.", "Access denied (not a member)."));

    // A member whose write right is on one class only, not on "*".
    CUserAccessToken member;
    member.grantAccess(CDomainID::superUsersID(), "policy", kAll);
    member.grantAccess(CDomainID::superUsersID(), "*", kRead);
    EXPECT_TRUE(raises([&] { osk::CRightsThrower(CDomainID::superUsersID(), member, CAccessRights::write); },
                       "Failed to pass security check.", "Access denied (no right)."));
    EXPECT_NO_THROW(osk::CRightsThrower(CDomainID::superUsersID(), member, CAccessRights::read));

    CUserAccessToken admin;
    admin.grantAccess(CDomainID::superUsersID(), "*", kAll);
    EXPECT_NO_THROW(osk::CRightsThrower(CDomainID::superUsersID(), admin, CAccessRights::write));
    // Being an administrator does not make the check pass for another domain.
    EXPECT_TRUE(raises([&] { osk::CRightsThrower(CDomainID(5), admin, CAccessRights::write); },
                       "Failed to pass security check.", "Access denied (not a member)."));
}

} // namespace
