// Paged selects of the object database layer over real rows on the embedded
// Firebird engine: row pages and key windows over a table whose keys have
// holes wider than the widest window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "fb_test_database.h"
#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb/db_paged_select.h"
#include "oodb/db_table_interface.h"
#include "support/temp_dir.h"

namespace {

constexpr int kClusters = 5;
constexpr int kRowsPerCluster = 1000;
// Keys of one cluster are 3 apart; clusters are 3,000,000 keys apart, far
// more than the widest key window.
constexpr int64_t kClusterDistance = 3000000;

int64_t keyOf(int cluster, int row)
{
    return 7 + cluster * kClusterDistance + row * 3;
}
// Names and hit counts do not follow the keys; hit counts repeat.
std::string nameOf(int64_t key)
{
    char name[32];
    std::snprintf(name, sizeof(name), "host-%05lld", static_cast<long long>((key * 7919) % 100003));
    return name;
}
int64_t hitsOf(int64_t key)
{
    return key % 10;
}

CDBTypeStringMap hostColumns()
{
    CDBTypeStringMap columns;
    columns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    columns.setType("HITS", CDBFieldType::DB_TYPE_LONG);
    return columns;
}

osk::CStringMap selectArgs(std::initializer_list<std::pair<const char*, std::string>> args)
{
    osk::CStringMap map;
    for (const auto& [key, value] : args) map.set_string(key, value);
    return map;
}

// One database for the whole suite: the table HOSTS with 5,000 rows.
class FbPagedSelectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fbtest::lockDirectory();
        _shared = new Shared;
        _shared->plugin.registerFactories(_shared->facade);
        _shared->controller = std::make_unique<CDBController>("paging", 1, _shared->facade,
                                                              CDBConstants::firebirdImplementation);
        osk::CStringMap config;
        config.set_string("system.db.path", _shared->dir.path());
        config.set_string("system.db.name", "paging");
        _shared->controller->dbInit(config);
        _shared->session = std::make_unique<CDBBaseSession>(config, *_shared->controller);

        CDBTableInterface hosts = _shared->session->table("HOSTS", hostColumns());
        auto transaction = _shared->session->beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        hosts.createTable(*transaction);
        transaction->commit();
        transaction = _shared->session->beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        for (int cluster = 0; cluster < kClusters; ++cluster) {
            for (int row = 0; row < kRowsPerCluster; ++row) {
                const int64_t key = keyOf(cluster, row);
                hosts.insert(*transaction, {{"PK", key}, {"NAME", nameOf(key)}, {"HITS", hitsOf(key)}});
                _shared->keys.push_back(key);
            }
        }
        transaction->commit();
    }
    static void TearDownTestSuite()
    {
        delete _shared;
        _shared = nullptr;
    }

    CDBBaseSession& session() { return *_shared->session; }
    CDBTableInterface hosts() { return session().table("HOSTS", hostColumns()); }
    const std::vector<int64_t>& keys() const { return _shared->keys; }

    struct Walk {
        std::vector<int64_t> keys;
        std::vector<std::string> names;
        std::vector<int64_t> hits;
        std::vector<uint64_t> pageRows;
        std::vector<int64_t> windows;
        uint64_t selects = 0;
    };

    // Every page of the select, read in one read-only transaction.
    Walk walk(CDBTableInterface& table, const osk::CStringMap& args, const CDBValues& values = CDBValues())
    {
        CDBPagedSelect select(table, args, values);
        auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        Walk result;
        auto visit = [&result](const CDBRows& row) {
            result.keys.push_back(row.asInt64("PK"));
            result.names.push_back(row.isNull("NAME") ? std::string() : row.asString("NAME"));
            result.hits.push_back(row.isNull("HITS") ? -1 : row.asInt64("HITS"));
        };
        for (int guard = 0; guard < 10000; ++guard) {
            const uint64_t rows = select.nextPage(*transaction, visit);
            if (rows == 0) break;
            result.pageRows.push_back(rows);
            if (select.columnQuery()) result.windows.push_back(select.columnQuery()->window());
        }
        EXPECT_TRUE(select.done());
        EXPECT_EQ(select.nextPage(*transaction, visit), 0u) << "a finished select stays finished";
        result.selects = select.selects();
        transaction->commit();
        return result;
    }

private:
    struct Shared {
        test_support::TempDir dir;
        fbprov::CFirebirdProviderPlugin plugin;
        CDBAbstractFactoryFacade facade;
        std::unique_ptr<CDBController> controller;
        std::unique_ptr<CDBBaseSession> session;
        std::vector<int64_t> keys;
    };
    static Shared* _shared;
};

FbPagedSelectTest::Shared* FbPagedSelectTest::_shared = nullptr;

std::vector<int64_t> reversed(std::vector<int64_t> keys)
{
    std::reverse(keys.begin(), keys.end());
    return keys;
}

TEST_F(FbPagedSelectTest, RowPagerReadsEveryRowOnceInKeyOrderBothWays)
{
    CDBTableInterface table = hosts();
    const Walk up = walk(table, selectArgs({{"pager_type", "db"}, {"count", "50"}}));
    EXPECT_EQ(up.keys, keys());
    // Pages are 1000 rows although only 50 objects are asked for.
    ASSERT_EQ(up.pageRows.size(), 5u);
    for (uint64_t rows : up.pageRows) EXPECT_EQ(rows, 1000u);
    EXPECT_TRUE(up.windows.empty()) << "the row pager has no key windows";

    const Walk down = walk(table, selectArgs({{"pager_type", "db"}, {"sort_order", "desc"}, {"count", "2400"}}));
    EXPECT_EQ(down.keys, reversed(keys()));
    // A larger count makes larger pages.
    EXPECT_EQ(down.pageRows, (std::vector<uint64_t>{2400, 2400, 200}));
    EXPECT_EQ(down.selects, 3u) << "a short page is the last; no select follows it";
}

TEST_F(FbPagedSelectTest, KeyPagerReadsEveryRowOnceAcrossHolesWideningItsWindow)
{
    CDBTableInterface table = hosts();
    for (const char* order : {"asc", "desc"}) {
        SCOPED_TRACE(order);
        const Walk walked = walk(table, selectArgs({{"pager_type", "pk"}, {"sort_order", order}, {"count", "700"}}));
        EXPECT_EQ(walked.keys, std::string(order) == "asc" ? keys() : reversed(keys()));
        // Every page but the last is full.
        ASSERT_FALSE(walked.pageRows.empty());
        for (size_t page = 0; page + 1 < walked.pageRows.size(); ++page) EXPECT_EQ(walked.pageRows[page], 700u);
        EXPECT_LE(walked.pageRows.back(), 700u);
        // The first page fits in the first window; the holes widen it,
        // doubling, up to the widest window.
        ASSERT_FALSE(walked.windows.empty());
        EXPECT_EQ(walked.windows.front(), CDBConstants::keyPagerInitialWindow);
        EXPECT_EQ(walked.windows.back(), CDBConstants::keyPagerMaxWindow);
        for (size_t page = 1; page < walked.windows.size(); ++page) {
            const int64_t previous = walked.windows[page - 1];
            const int64_t window = walked.windows[page];
            EXPECT_TRUE(window == previous || window % previous == 0) << window << " after " << previous;
            EXPECT_LE(window, CDBConstants::keyPagerMaxWindow);
        }
        // Crossing a hole of 3,000,000 keys in windows of at most 40,000
        // would take 75 selects per hole; widened windows take a handful.
        EXPECT_LT(walked.selects, 60u);
    }
}

TEST_F(FbPagedSelectTest, SortByAnotherColumnPagesByRowsEvenWhenKeyWindowsAreAsked)
{
    CDBTableInterface table = hosts();
    CDBPagedSelect byName(table, selectArgs({{"pager_type", "pk"}, {"sort_column", "name"}}));
    EXPECT_EQ(byName.pagerKind(), CQueryFactory::rowPager);

    const Walk walked = walk(table, selectArgs({{"pager_type", "pk"}, {"sort_column", "name"}}));
    ASSERT_EQ(walked.names.size(), keys().size());
    EXPECT_TRUE(std::is_sorted(walked.names.begin(), walked.names.end()));
    EXPECT_EQ(std::set<int64_t>(walked.keys.begin(), walked.keys.end()).size(), keys().size());

    // Hit counts repeat: the key breaks the ties, so pages neither repeat
    // nor skip a row, and rows of equal hits come in key order.
    const Walk byHits = walk(table,
                             selectArgs({{"pager_type", "pk"}, {"sort_property", "T.hits"}, {"sort_order", "desc"}}));
    ASSERT_EQ(byHits.keys.size(), keys().size());
    EXPECT_EQ(std::set<int64_t>(byHits.keys.begin(), byHits.keys.end()).size(), keys().size());
    for (size_t i = 1; i < byHits.keys.size(); ++i) {
        ASSERT_GE(byHits.hits[i - 1], byHits.hits[i]) << "row " << i;
        if (byHits.hits[i - 1] == byHits.hits[i]) {
            ASSERT_GT(byHits.keys[i - 1], byHits.keys[i]) << "row " << i;
        }
    }
}

TEST_F(FbPagedSelectTest, CriteriaCombineWithTheWindowsAndTheRowRanges)
{
    CDBTableInterface table = hosts();
    std::vector<int64_t> expected;
    for (int64_t key : keys())
        if (hitsOf(key) == 3 && key > kClusterDistance) expected.push_back(key);
    for (const char* pager : {"pk", "db"}) {
        SCOPED_TRACE(pager);
        const Walk walked = walk(table, selectArgs({{"pager_type", pager}, {"where", "T.HITS = ? AND T.PK > ?"}}),
                                 {int64_t(3), int64_t(kClusterDistance)});
        EXPECT_EQ(walked.keys, expected);
    }
}

TEST_F(FbPagedSelectTest, HostileValuesAreFoundVerbatimAndDropNothing)
{
    CDBTableInterface people = session().table("PEOPLE", hostColumns());
    CDBTableInterface victim = session().table("X", hostColumns());
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    people.createTable(*transaction);
    victim.createTable(*transaction);
    transaction->commit();
    const std::vector<std::string> names = {"O'Brien", "1; DROP TABLE x", "plain", "O''Brien"};
    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    for (const std::string& name : names) people.insert(*transaction, {{"NAME", name}});
    victim.insert(*transaction, {{"NAME", std::string("still here")}});
    transaction->commit();

    for (const char* pager : {"pk", "db"}) {
        for (const std::string& name : {names[0], names[1]}) {
            SCOPED_TRACE(std::string(pager) + " " + name);
            const Walk walked = walk(people, selectArgs({{"pager_type", pager}, {"where", "T.NAME = ?"}}), {name});
            EXPECT_EQ(walked.names, std::vector<std::string>{name});
        }
    }
    auto reader = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    auto rows = victim.selectRange(*reader, CDBConstants::smallestKeyValue, 1000000);
    ASSERT_TRUE(rows->fetch()) << "table X is still there with its row";
    EXPECT_EQ(rows->asString("NAME"), "still here");
}

TEST_F(FbPagedSelectTest, SortColumnsOutsideTheTableAndWrongOrdersAreRefused)
{
    CDBTableInterface table = hosts();
    const auto refusal = [&table](const osk::CStringMap& args) {
        try {
            CDBPagedSelect select(table, args);
            return std::string("accepted");
        } catch (const osk::CException& e) {
            return e.whatMsg().formatted() + " " + e.whyMsg().formatted();
        }
    };
    EXPECT_EQ(refusal(selectArgs({{"pager_type", "db"}, {"sort_column", "NAME; DROP TABLE X"}})),
              "Unable to page a select on table 'HOSTS'. The table has no column 'NAME; DROP TABLE X' to sort on.");
    EXPECT_EQ(refusal(selectArgs({{"pager_type", "db"}, {"sort_property", "T.owner"}})),
              "Unable to page a select on table 'HOSTS'. The table has no column 'owner' to sort on.");
    EXPECT_EQ(refusal(selectArgs({{"pager_type", "pk"}, {"sort_order", "sideways"}})),
              "Unable to page a select on table 'HOSTS'. Sort order 'sideways' is neither 'asc' nor 'desc'.");
    EXPECT_EQ(refusal(selectArgs({{"pager_type", "rows"}})),
              "Unable to create a pager query object. Wrong pager type.");
    EXPECT_EQ(refusal(selectArgs({{"pager_type", "db"}, {"sort_column", "Hits"}})), "accepted");
}

TEST_F(FbPagedSelectTest, OnlyAUniqueNotNullSortColumnGoesWithoutTheKeyAsTieBreak)
{
    CDBTypeStringMap tagColumns;
    tagColumns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    tagColumns.setType("LABEL", CDBFieldType::DB_TYPE_STRING);
    tagColumns.setType("HITS", CDBFieldType::DB_TYPE_LONG);
    CDBTableInterface tags = session().table("TAGS", tagColumns);
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    // A unique label may be missing on many rows: only NAME orders the rows on its own.
    transaction->execute("CREATE TABLE TAGS (PK BIGINT NOT NULL PRIMARY KEY, NAME VARCHAR(40) NOT NULL UNIQUE, "
                         "LABEL VARCHAR(40) UNIQUE, HITS BIGINT)");
    transaction->commit();
    constexpr int64_t kTags = 2500;
    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    for (int64_t key = 1; key <= kTags; ++key)
        tags.insert(*transaction, {{"PK", key},
                                   {"NAME", nameOf(key)},
                                   {"LABEL", key % 4 == 0 ? CDBValue() : CDBValue(nameOf(key + kTags))}});
    transaction->commit();

    // The select a row pager makes, known from its first page.
    auto orderOf = [&](CDBTableInterface& table, const osk::CStringMap& args) {
        CDBPagedSelect select(table, args);
        auto reading = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        EXPECT_GT(select.nextPage(*reading, [](const CDBRows&) {}), 0u);
        reading->commit();
        return select.rowSelect().substr(select.rowSelect().find(" ORDER BY "));
    };
    EXPECT_EQ(" ORDER BY T.NAME ASC", orderOf(tags, selectArgs({{"sort_column", "name"}})));
    EXPECT_EQ(" ORDER BY T.NAME DESC", orderOf(tags, selectArgs({{"sort_column", "name"}, {"sort_order", "desc"}})));
    EXPECT_EQ(" ORDER BY T.LABEL ASC, T.PK ASC", orderOf(tags, selectArgs({{"sort_column", "label"}})));
    CDBTableInterface table = hosts();
    EXPECT_EQ(" ORDER BY T.NAME DESC, T.PK DESC",
              orderOf(table, selectArgs({{"sort_column", "name"}, {"sort_order", "desc"}})));

    // Pages by the name alone still give every row once, in order.
    for (const char* order : {"asc", "desc"}) {
        SCOPED_TRACE(order);
        const Walk walked = walk(tags, selectArgs({{"sort_column", "name"}, {"sort_order", order}}));
        ASSERT_EQ(static_cast<size_t>(kTags), walked.names.size());
        EXPECT_EQ(3u, walked.pageRows.size());
        std::vector<std::string> expected = walked.names;
        std::sort(expected.begin(), expected.end());
        if (std::string(order) == "desc") std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(expected, walked.names);
        EXPECT_EQ(static_cast<size_t>(kTags), std::set<int64_t>(walked.keys.begin(), walked.keys.end()).size());
    }
}

TEST_F(FbPagedSelectTest, EmptyTableEndsAtOnce)
{
    CDBTableInterface empty = session().table("NOBODY", hostColumns());
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    empty.createTable(*transaction);
    transaction->commit();
    for (const char* pager : {"pk", "db"}) {
        SCOPED_TRACE(pager);
        const Walk walked = walk(empty, selectArgs({{"pager_type", pager}}));
        EXPECT_TRUE(walked.keys.empty());
        EXPECT_TRUE(walked.pageRows.empty());
    }
}

} // namespace
