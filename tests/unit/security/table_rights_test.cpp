#include "security/table_rights.h"
#include "security/table_rights_entry.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using osk::CAccessRights;
using osk::CDomainID;
using osk::CTableRights;
using osk::CTableRightsEntry;

const CAccessRights kRead(CAccessRights::read);
const CAccessRights kWrite(CAccessRights::write);
const CAccessRights kReadWrite(CAccessRights::read | CAccessRights::write);

TEST(TableRightsEntryTest, GrantAddsAndRevokeRemovesEmptyEntries)
{
    CTableRightsEntry entry;
    entry.grant("policy", kRead);
    entry.grant("policy", kWrite);
    EXPECT_EQ(kReadWrite, entry["policy"]);
    entry.grant("domain", CAccessRights());
    EXPECT_EQ(nullptr, entry.find("domain"));

    entry.revoke("policy", kRead);
    EXPECT_EQ(kWrite, entry["policy"]);
    entry.revoke("policy", kWrite);
    EXPECT_EQ(nullptr, entry.find("policy"));
    EXPECT_TRUE(entry.empty());

    entry.grant("keyvalue", kRead);
    entry.revoke("keyvalue");
    entry.revoke("absent", kRead);
    EXPECT_TRUE(entry.empty());
}

TEST(TableRightsEntryTest, NamesAreCaseSensitive)
{
    CTableRightsEntry entry;
    entry.grant("policy", kRead);
    EXPECT_FALSE(entry.has("Policy"));
    EXPECT_FALSE(entry.has("Policy", CAccessRights::read));
}

TEST(TableRightsEntryTest, StarEntryGrantsOnEveryClass)
{
    CTableRightsEntry entry;
    entry.grant("*", kRead);
    EXPECT_TRUE(entry.has("domain", CAccessRights::read));
    EXPECT_TRUE(entry.has("policy", CAccessRights::read));
    EXPECT_TRUE(entry.has("anything"));
    EXPECT_FALSE(entry.has("policy", CAccessRights::write));
    // Only the explicit entry is returned by name.
    EXPECT_TRUE(raises([&] { entry["policy"]; }, "Unable to find access rights for table 'policy'.", ""));
}

TEST(TableRightsEntryTest, WholeMaskMustBeHeldWithinOneEntry)
{
    CTableRightsEntry split;
    split.grant("*", kRead);
    split.grant("policy", kWrite);
    // Single bits are found in either entry ...
    EXPECT_TRUE(split.has("policy", CAccessRights::read));
    EXPECT_TRUE(split.has("policy", CAccessRights::write));
    // ... but read and write together are in neither entry alone.
    EXPECT_FALSE(split.has("policy", kReadWrite));

    CTableRightsEntry star;
    star.grant("*", kReadWrite);
    EXPECT_TRUE(star.has("policy", kReadWrite));

    CTableRightsEntry named;
    named.grant("*", kRead);
    named.grant("policy", kReadWrite);
    EXPECT_TRUE(named.has("policy", kReadWrite));
    EXPECT_FALSE(named.has("domain", kReadWrite));
}

TEST(TableRightsEntryTest, MergeGrantsEveryEntryAndTextListsClassesInOrder)
{
    CTableRightsEntry entry;
    entry.grant("policy", kRead);
    CTableRightsEntry other;
    other.grant("policy", kWrite);
    other.grant("domain", kRead);
    entry.merge(other);
    EXPECT_EQ(kReadWrite, entry["policy"]);
    EXPECT_EQ("domain:read/policy:read,write,", entry.string());
    EXPECT_EQ("", CTableRightsEntry().string());
}

TEST(TableRightsTest, LookupAndMembership)
{
    CTableRights rights;
    rights.grant(CDomainID(5), "domain", kRead);
    EXPECT_EQ(1u, rights.size());
    EXPECT_TRUE(rights.has(CDomainID(5)));
    EXPECT_TRUE(rights.has(CDomainID(5), "domain"));
    EXPECT_FALSE(rights.has(CDomainID(5), "policy"));
    EXPECT_FALSE(rights.has(CDomainID(6)));
    EXPECT_TRUE(raises([&] { rights[CDomainID(6)]; }, "Unable to find table rights for domain ID 6.",
                       "Table rights do not exist."));

    rights.grant(CDomainID(5), "*", kRead);
    EXPECT_TRUE(rights.has(CDomainID(5), "policy"));

    // Granting nothing does not create a membership.
    rights.grant(CDomainID(7), "policy", CAccessRights());
    EXPECT_FALSE(rights.has(CDomainID(7)));

    rights.superUserAccess();
    EXPECT_TRUE(rights.has(CDomainID(6)));
    EXPECT_TRUE(rights.has(CDomainID(6), "policy"));
    rights.clear();
    EXPECT_FALSE(rights.superUser());
    EXPECT_TRUE(rights.empty());
}

TEST(TableRightsTest, RevokeDropsEmptyDomainsAssignReplacesMergeAdds)
{
    CTableRights rights;
    rights.grant(CDomainID(3), "policy", kReadWrite);
    rights.revoke(CDomainID(3), "policy", kRead);
    EXPECT_EQ(kWrite, rights[CDomainID(3)]["policy"]);
    rights.revoke(CDomainID(3), "policy", kWrite);
    EXPECT_FALSE(rights.has(CDomainID(3)));

    CTableRightsEntry entry;
    entry.grant("domain", kRead);
    rights.grant(CDomainID(4), "policy", kWrite);
    rights.assign(CDomainID(4), entry);
    EXPECT_EQ(entry, rights[CDomainID(4)]);
    rights.merge(CDomainID(4), entry);
    rights.merge(CDomainID(8), entry);
    EXPECT_EQ(entry, rights[CDomainID(8)]);

    // Iteration follows the domain id.
    std::vector<int64_t> order;
    for (const auto& domain : rights) order.push_back(domain.first.id());
    EXPECT_EQ((std::vector<int64_t>{4, 8}), order);

    rights.revoke(CDomainID(4));
    EXPECT_EQ(1u, rights.size());
}

} // namespace
