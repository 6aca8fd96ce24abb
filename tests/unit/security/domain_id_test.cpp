#include "security/access_id.h"
#include "security/domain_group_id.h"
#include "security/domain_id.h"
#include "security/domain_memberships.h"

#include <set>

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using osk::CDomainID;
using osk::CDomainMemberships;

TEST(DomainIDTest, TypeTextsBothWays)
{
    EXPECT_EQ("device", CDomainID::typeString(CDomainID::device));
    EXPECT_EQ("user_role", CDomainID::typeString(CDomainID::user_role));
    EXPECT_EQ(CDomainID::device, CDomainID::typeValue("device"));
    EXPECT_EQ(CDomainID::device, CDomainID::typeValue(""));
    EXPECT_EQ(CDomainID::user_role, CDomainID::typeValue("user_role"));
    EXPECT_TRUE(raises([] { CDomainID::typeValue("User_Role"); }, "Illegal domain type 'User_Role'.",
                       "Domain type not defined."));
    EXPECT_TRUE(raises([] { CDomainID::typeString(static_cast<CDomainID::domain_type>(7)); },
                       "Illegal domain type 7.", "Internal Error."));
}

TEST(DomainIDTest, OrderAndEqualityIgnoreTheType)
{
    EXPECT_EQ(CDomainID(4, CDomainID::device), CDomainID(4, CDomainID::user_role));
    EXPECT_LT(CDomainID(-1), CDomainID(0));
    EXPECT_GE(CDomainID(3, CDomainID::user_role), CDomainID(3));
    std::set<CDomainID> domains{CDomainID(9), CDomainID(2, CDomainID::user_role), CDomainID(2)};
    ASSERT_EQ(2u, domains.size());
    EXPECT_EQ(CDomainID::user_role, domains.begin()->domainType());
}

TEST(DomainIDTest, ArithmeticActsOnTheIdAndKeepsTheType)
{
    CDomainID domain(10, CDomainID::user_role);
    EXPECT_EQ(CDomainID(13), domain + 3);
    EXPECT_EQ(CDomainID(7), domain - CDomainID(3));
    EXPECT_EQ(CDomainID(10), domain++);
    EXPECT_EQ(CDomainID(11), domain);
    EXPECT_EQ(CDomainID(10), --domain);
    domain += 5;
    domain -= CDomainID(1);
    EXPECT_EQ(14, domain.id());
    EXPECT_EQ(CDomainID::user_role, domain.domainType());
}

TEST(DomainIDTest, WellKnownIdsAndDecimalText)
{
    EXPECT_EQ(0, CDomainID::superUsersID().id());
    EXPECT_EQ(1, CDomainID::allUsersID().id());
    EXPECT_EQ(-1, CDomainID::unknownID().id());
    EXPECT_EQ(CDomainID::unknownID(), CDomainID());
    EXPECT_STREQ("Administrators", CDomainID::superUsersName());
    EXPECT_STREQ("Observers", CDomainID::allUsersName());

    CDomainID domain;
    domain.idstr("-42");
    EXPECT_EQ("-42", domain.idstr());
    EXPECT_TRUE(raises([&] { domain.idstr("12a"); }, "Cannot deserialize number '12a' from text.",
                       "Value '12a' is not a valid number.", "standard"));
    EXPECT_TRUE(raises([&] { domain.idstr(""); }, "Cannot deserialize number '' from text.",
                       "Value '' is not a valid number.", "standard"));
    EXPECT_TRUE(raises([&] { domain.idstr("99999999999999999999"); },
                       "Cannot deserialize number '99999999999999999999' from text.",
                       "Value '99999999999999999999' overflows 64 bits.", "standard"));
    EXPECT_EQ(-42, domain.id());

    EXPECT_EQ("id=5\ntype=user_role\n", CDomainID(5, CDomainID::user_role).string());
    EXPECT_EQ("id=-1\ntype=device\n", CDomainID().string());
}

TEST(DomainIDTest, GroupAndAccessIdentifiers)
{
    EXPECT_EQ(0, osk::CDomainGroupID::allID().id());
    EXPECT_EQ(2, osk::CDomainGroupID::deviceSpecificID().id());
    EXPECT_STREQ("Device Specific", osk::CDomainGroupID::deviceSpecificName());
    EXPECT_LT(osk::CDomainGroupID::unknownID(), osk::CDomainGroupID::operatorsID());

    osk::CAccessID account;
    EXPECT_EQ(osk::CAccessID::unknownID(), account);
    account.string("17");
    EXPECT_EQ("17", account.string());
    EXPECT_EQ(osk::CAccessID(18), ++account);
    EXPECT_TRUE(raises([&] { account.string("x"); }, "Cannot deserialize number 'x' from text.",
                       "Value 'x' is not a valid number.", "standard"));
    EXPECT_STREQ("admin", osk::CAccessID::superUserNameLower());
    EXPECT_STREQ("<unknown>", osk::CAccessID::unknownName());
}

TEST(DomainMembershipsTest, NewSetHoldsTheAdministratorsDomain)
{
    CDomainMemberships domains;
    ASSERT_EQ(1u, domains.size());
    const CDomainID* admin = domains.findID(0);
    ASSERT_NE(nullptr, admin);
    EXPECT_EQ(CDomainID::user_role, admin->domainType());
    EXPECT_EQ("0=user_role\n", domains.string());

    // Domain 0 only leaves on explicit request.
    EXPECT_FALSE(domains.remove(CDomainID::superUsersID()));
    domains.removeAll();
    EXPECT_EQ(1u, domains.size());
    domains.removeAll(true);
    EXPECT_TRUE(domains.empty());
    EXPECT_EQ("", domains.string());
}

TEST(DomainMembershipsTest, InsertReplacesTypeInsertIfDoesNot)
{
    CDomainMemberships domains;
    domains.insert(CDomainID(5), CDomainID::device);
    domains.insert(CDomainID(5, CDomainID::device), CDomainID::user_role);
    EXPECT_EQ(CDomainID::user_role, domains.findID(5)->domainType());
    EXPECT_FALSE(domains.insertIf(CDomainID(5, CDomainID::device)));
    EXPECT_EQ(CDomainID::user_role, domains.findID(5)->domainType());
    EXPECT_TRUE(domains.insertIf(CDomainID(12, CDomainID::device)));

    EXPECT_EQ((std::vector<int64_t>{0, 5, 12}), domains.ids());
    const auto roles = domains.roles();
    ASSERT_EQ(2u, roles.size());
    EXPECT_EQ(0, roles[0].id());
    EXPECT_EQ(5, roles[1].id());
    // Keys are ordered as text in the record form.
    EXPECT_EQ("0=user_role\n12=device\n5=user_role\n", domains.string());

    EXPECT_TRUE(domains.remove(5));
    EXPECT_FALSE(domains.remove(5));
    EXPECT_EQ(nullptr, domains.findID(CDomainID(5)));

    CDomainMemberships other;
    other.insert(CDomainID(7), CDomainID::device);
    domains.insert(other);
    EXPECT_EQ((std::vector<int64_t>{0, 7, 12}), domains.ids());
}

TEST(DomainMembershipsTest, IntersectKeepsDomainsWithRights)
{
    CDomainMemberships source;
    source.insert(CDomainID(3), CDomainID::device);
    source.insert(CDomainID(4), CDomainID::device);
    osk::CTableRights rights;
    rights.grant(CDomainID(4), "policy", osk::CAccessRights(osk::CAccessRights::read));
    rights.grant(CDomainID(8), "policy", osk::CAccessRights(osk::CAccessRights::read));

    CDomainMemberships target;
    target.insert(CDomainID(9), CDomainID::device);
    target.assignFromIntersect(source, rights);
    EXPECT_EQ((std::vector<int64_t>{4}), target.ids());
}

} // namespace
