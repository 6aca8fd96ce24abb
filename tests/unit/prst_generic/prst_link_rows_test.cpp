// The rows of one-to-many link tables, on the shipped link tables: each
// kind keeps its order or its names, owners and attributes stay apart.
#include "prst_generic/prst_link_rows.h"

#include <gtest/gtest.h>

#include "prst_database_fixture.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstLinkRowsTest : public PrstDatabaseTest {
protected:
    // Owners far above any OID the other tests make.
    static constexpr int64_t owner = 900001;
    static constexpr int64_t otherOwner = 900002;

    void TearDown() override
    {
        committed(admin, [&] {
            for (const char* table : {"osk_role_links", "osk_sql_target_links", "osk_domain_mships_links"})
                admin.transaction().execute(std::string("DELETE FROM ") + table + " WHERE SRC_ATTR_REF >= 900000");
        });
    }
};

TEST_F(PrstLinkRowsTest, OrderedRowsComeBackInTheOrderWritten)
{
    const CPrstLinkRows rows("osk_domain_mships_links", "domain_ids", "domain_id", CPrstLinkRows::ordered);
    committed(admin, [&] { rows.write(admin, owner, {{30, ""}, {10, ""}, {20, ""}}); });
    EXPECT_EQ(3, scalar("SELECT MAX(DEST_SEQ_KEY) FROM osk_domain_mships_links WHERE SRC_ATTR_REF = ?", {owner}));
    // Rewritten in another order: the numbers follow the new order.
    committed(admin, [&] { rows.write(admin, owner, {{20, ""}, {30, ""}}); });
    CPrstTransaction transaction(admin);
    const CPrstLinkRows::entries_t entries = rows.read(admin, owner);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(20, entries[0].target);
    EXPECT_EQ(30, entries[1].target);
}

TEST_F(PrstLinkRowsTest, RowsByNameKeepTheirNames)
{
    const CPrstLinkRows rows("osk_role_links", "capabilities", "capability", CPrstLinkRows::byName);
    committed(admin, [&] { rows.write(admin, owner, {{7, "policy"}, {8, "domain"}}); });
    CPrstTransaction transaction(admin);
    const CPrstLinkRows::entries_t entries = rows.read(admin, owner);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(7, entries[0].target);
    EXPECT_EQ("policy", entries[0].name);
    EXPECT_EQ("domain", entries[1].name);
}

TEST_F(PrstLinkRowsTest, OwnersAndAttributesStayApart)
{
    const CPrstLinkRows targets("osk_sql_target_links", "target_classes", "target", CPrstLinkRows::plain);
    const CPrstLinkRows others("osk_sql_target_links", "other_attribute", "target", CPrstLinkRows::plain);
    committed(admin, [&] {
        targets.write(admin, owner, {{1, ""}, {2, ""}});
        targets.write(admin, otherOwner, {{3, ""}});
        others.write(admin, owner, {{4, ""}});
    });
    committed(admin, [&] { targets.remove(admin, owner); });
    CPrstTransaction transaction(admin);
    EXPECT_TRUE(targets.read(admin, owner).empty());
    ASSERT_EQ(1u, targets.read(admin, otherOwner).size());
    EXPECT_EQ(3, targets.read(admin, otherOwner)[0].target);
    ASSERT_EQ(1u, others.read(admin, owner).size());
    EXPECT_EQ(4, others.read(admin, owner)[0].target);
}

} // namespace
