// Index statistics on the embedded engine: an index built on an empty table
// has a selectivity of 0 until it is recomputed.
#include "firebird_provider/fb_index_statistics.h"

#include <gtest/gtest.h>

#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

class FbIndexStatisticsTest : public fbtest::FbDatabaseTest {
protected:
    // The selectivity Firebird plans with: 1 / distinct keys, 0 for "not known".
    double selectivity(const char* index)
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
        fbprov::CFbStatement query(transaction, "SELECT RDB$STATISTICS FROM RDB$INDICES WHERE RDB$INDEX_NAME = ?");
        auto rows = query.select(transaction, {std::string(index)});
        EXPECT_TRUE(rows->fetch()) << index;
        return rows->asDouble(0);
    }
};

TEST_F(FbIndexStatisticsTest, IndexesBuiltOnEmptyTablesLearnWhatTheirRowsHold)
{
    run("CREATE TABLE HOSTS (PK BIGINT NOT NULL PRIMARY KEY, OWNER BIGINT, NAME VARCHAR(20))");
    run("CREATE INDEX HOSTS_OWNER ON HOSTS (OWNER)");
    run("CREATE INDEX HOSTS_NAME ON HOSTS (NAME)");
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readWrite);
        fbprov::CFbStatement insert(transaction, "INSERT INTO HOSTS (PK, OWNER, NAME) VALUES (?, ?, ?)");
        // 200 rows: 4 owners, every name different.
        for (int64_t key = 1; key <= 200; ++key)
            insert.execute(transaction, {key, key % 4, "host-" + std::to_string(key)});
        transaction.commit();
    }
    EXPECT_EQ(0.0, selectivity("HOSTS_OWNER"));
    EXPECT_EQ(0.0, selectivity("HOSTS_NAME"));

    EXPECT_GE(fbprov::CFbIndexStatistics::refresh(db()), 2u);
    EXPECT_NEAR(1.0 / 4, selectivity("HOSTS_OWNER"), 1e-6);
    EXPECT_NEAR(1.0 / 200, selectivity("HOSTS_NAME"), 1e-6);
}

} // namespace
