#include "security/secure_where.h"
#include "security/secured_statement_args.h"

#include <gtest/gtest.h>

namespace {

using osk::CAccessRights;
using osk::CDomainID;
using osk::CSecureWhere;
using osk::CUserAccessToken;

const std::string kTwoDomainFilter =
    " T.PK IN (SELECT XT.PK from tftp_policy XT JOIN osk_secured_object XSC ON XT.SECURED_REF = XSC.PK JOIN "
    "osk_domain_mships XDM ON XSC.DOM_MEMBERSHIPS_REF = XDM.PK JOIN osk_domain_mships_links XT_ ON "
    "XT_.SRC_ATTR_REF = XDM.PK JOIN osk_domain_id XDI ON XDI.SRC_PK = XT.PK WHERE (XDI.domain_id IN (3,17)))";

std::string secure(const CUserAccessToken& token, const std::string& where, bool on = true)
{
    return CSecureWhere::secureWhere(token, on, CAccessRights::read, "policy", "tftp_policy", where);
}

TEST(SecureWhereTest, FilterKeepsDomainsGrantingTheRight)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::read));
    token.grantAccess(CDomainID(9), "policy", CAccessRights(CAccessRights::write));
    token.grantAccess(CDomainID(12), "domain", CAccessRights(CAccessRights::read));
    token.grantAccess(CDomainID(17), "*", CAccessRights(CAccessRights::all));
    EXPECT_EQ(kTwoDomainFilter, secure(token, ""));
    EXPECT_EQ("T.NAME = 'x' AND (" + kTwoDomainFilter + ")", secure(token, "T.NAME = 'x'"));
}

TEST(SecureWhereTest, UnfilteredCases)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::read));
    EXPECT_EQ("T.PK > 4", secure(token, "T.PK > 4", false));
    // No rights at all: nothing to filter by.
    EXPECT_EQ("T.PK > 4", secure(CUserAccessToken(), "T.PK > 4"));

    // The administrators' domain sees everything, whatever else the token holds.
    CUserAccessToken admin;
    admin.grantAccess(CDomainID::superUsersID(), "domain", CAccessRights(CAccessRights::read));
    admin.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::read));
    EXPECT_EQ("T.PK > 4", secure(admin, "T.PK > 4"));
    EXPECT_EQ("", secure(admin, ""));
}

TEST(SecureWhereTest, NoGrantingDomainSelectsNothing)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(3), "policy", CAccessRights(CAccessRights::write));
    EXPECT_EQ(std::string(CSecureWhere::noRowsFilter()), secure(token, ""));
    EXPECT_EQ("T.PK > 4 AND ( (1 = 0))", secure(token, "T.PK > 4"));
    EXPECT_EQ(std::string(CSecureWhere::noRowsFilter()), CSecureWhere::filter("tftp_policy", {}));
}

TEST(SecuredStatementArgsTest, DomainsNumberedFromOneInIdOrder)
{
    using Args = osk::CSecuredStatementArgs;
    CUserAccessToken token;
    token.grantAccess(CDomainID(42), "policy", CAccessRights(CAccessRights::read));
    token.grantAccess(CDomainID(7), "policy", CAccessRights(CAccessRights::read));

    Args::args_t args;
    Args::set(args, "NAME", std::string("p1"));
    Args::set(args, "DOM_ID_COUNT", int64_t(99));
    Args::setArgs(token, "tftp_policy", args);

    ASSERT_EQ(6u, args.size());
    EXPECT_EQ("p1", Args::find(args, "NAME")->text);
    const auto* first = Args::find(args, "DOMAIN_ID_1");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(Args::long_arg, first->type);
    EXPECT_EQ(7, first->number);
    EXPECT_EQ(42, Args::find(args, "DOMAIN_ID_2")->number);
    EXPECT_EQ(Args::text_arg, Args::find(args, "SRC_TABLE_1")->type);
    EXPECT_EQ("7_tftp_policy", Args::find(args, "SRC_TABLE_1")->text);
    EXPECT_EQ("42_tftp_policy", Args::find(args, "SRC_TABLE_2")->text);
    EXPECT_EQ(2, Args::find(args, "DOM_ID_COUNT")->number);
    EXPECT_EQ(nullptr, Args::find(args, "DOMAIN_ID_3"));

    Args::args_t none;
    Args::setArgs(CUserAccessToken(), "osk_domains", none);
    ASSERT_EQ(1u, none.size());
    EXPECT_EQ(0, none[0].number);
    // The id is printed as an unsigned 32-bit number.
    EXPECT_EQ("4294967295_osk_domains", Args::sourceTableValue(-1, "osk_domains"));
}

} // namespace
