#include "security/role_helper.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using osk::CAccessRights;
using osk::CDomainID;
using osk::CRoleHelper;
using osk::CTableRightsEntry;

const char* const kAvailable =
    "Available tables are: account, user_account, domain, domain_group, access_control, user_access_control, "
    "keyvalue, sql_query, sql_query_group, snmp_query, snmp_query_group, capability, user_role, policy";

TEST(RoleHelperTest, ParsesItemsAndAlwaysGrantsReadOnDomains)
{
    CTableRightsEntry entry;
    CRoleHelper::tableRights("policy:read,write/*:x/ keyvalue : r", entry);
    EXPECT_EQ("*:execute/domain:read/keyvalue:read/policy:read,write,", entry.string());

    CTableRightsEntry empty;
    CRoleHelper::tableRights("", empty);
    EXPECT_EQ("domain:read,", empty.string());

    // Read on domain is added to what is granted there, not replacing it.
    CTableRightsEntry writer;
    CRoleHelper::tableRights("domain:write/", writer);
    EXPECT_EQ("domain:read,write,", writer.string());

    // The token text of an entry reads back to the same entry.
    CTableRightsEntry again;
    CRoleHelper::tableRights(entry.string(), again);
    EXPECT_EQ(entry, again);
}

TEST(RoleHelperTest, UnknownClassIsRefusedAndNothingIsGranted)
{
    CTableRightsEntry entry;
    entry.grant("policy", CAccessRights(CAccessRights::read));
    EXPECT_TRUE(raises([&] { CRoleHelper::tableRights("keyvalue:r/osk_domains:r", entry); },
                       "Table 'osk_domains' does not exist.", kAvailable, "prst_generic"));
    // Class names are case-sensitive.
    EXPECT_TRUE(raises([&] { CRoleHelper::tableRights("Policy:r", entry); }, "Table 'Policy' does not exist.",
                       kAvailable, "prst_generic"));
    EXPECT_EQ("policy:read,", entry.string());
    EXPECT_EQ(14u, CRoleHelper::formalClassNames().size());
}

TEST(RoleHelperTest, DomainsShownByName)
{
    CRoleHelper helper({{CDomainID(0), "Administrators"}, {CDomainID(5), "lab"}});
    osk::CTableRights rights;
    rights.grant(CDomainID(0), "*", CAccessRights(CAccessRights::all));
    rights.grant(CDomainID(5), "policy", CAccessRights(CAccessRights::read));
    rights.grant(CDomainID(6), "policy", CAccessRights(CAccessRights::read));
    EXPECT_EQ("Administrators::*:read,write,execute,create,//lab::policy:read,//6::policy:read,",
              helper.tableRights(rights));

    EXPECT_EQ("lab,Administrators", helper.translateToString({CDomainID(5), CDomainID(0)}));
    const auto domains = helper.translateToOIDs(" lab ,,Administrators");
    ASSERT_EQ(2u, domains.size());
    EXPECT_EQ(CDomainID(5), domains[0]);
    EXPECT_EQ(CDomainID(0), domains[1]);
    EXPECT_TRUE(raises([&] { helper.translateToOIDs("lab,nowhere"); }, "Cannot translate domain 'nowhere' to an OID.",
                       "Domain doesn't exist.", "prst_generic"));
}

} // namespace
