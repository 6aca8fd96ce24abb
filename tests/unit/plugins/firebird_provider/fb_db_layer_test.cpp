// The object database layer on the real embedded Firebird engine, reached
// only through the layer's interfaces: the plug-in registers its factory,
// a controller opens the database, a session starts transactions and table
// interfaces run the expanded statement templates.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "fb_layer_fixture.h"
#include "firebird_provider/fb_connector.h"
#include "firebird_provider/fb_database_proxy.h"
#include "firebird_provider/fb_db_transaction.h"
#include "oodb/db_exception.h"
#include "support/thrown.h"

namespace {

using test_support::failureOf;
using test_support::thrown;

CDBTypeStringMap hostColumns()
{
    CDBTypeStringMap columns;
    columns.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    columns.setType("HITS", CDBFieldType::DB_TYPE_LONG);
    columns.setType("NOTE", CDBFieldType::DB_TYPE_TEXT_BLOB);
    return columns;
}

class FbDBLayerTest : public fbtest::FbLayerTest {
protected:
    // The table HOSTS, created and committed.
    CDBTableInterface createdHosts() { return CDBTableInterface(createdTable("HOSTS", hostColumns())); }

    // The NAME of the row of key, read in a transaction of its own; "<none>"
    // when there is no such row.
    std::string nameOf(CDBTableInterface& table, int64_t key)
    {
        auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        auto rows = table.select(*transaction, key);
        return rows->fetch() ? rows->asString("NAME") : "<none>";
    }
};

TEST_F(FbDBLayerTest, PluginRegistersTheFirebirdFactoryUnderItsInterface)
{
    fbprov::CFirebirdProviderPlugin plugin;
    EXPECT_TRUE(plugin.conformsToInterface(CDBProvider::interfaceName()));
    EXPECT_TRUE(plugin.conformsToInterface("Firebird_DB"));
    EXPECT_TRUE(facade().registered("Firebird_DB"));
    EXPECT_EQ(session().dbImplementation(), "Firebird_DB");
    EXPECT_EQ(controller().proxy().implementation(), "Firebird_DB");
    // A second registration of the same implementation is refused.
    EXPECT_THROW(plugin.registerFactories(facade()), osk::CException);
}

TEST_F(FbDBLayerTest, UnregisteredImplementationIsRefusedByName)
{
    CDBController other("other", 1, facade(), CDBConstants::codebaseImplementation);
    EXPECT_EQ(failureOf([&] { other.dbInit(osk::CStringMap()); }),
              "Unable to find a factory using database implementation 'Codebase DB'. / "
              "Database implementation not initialized.");
    EXPECT_THROW(other.proxy(), osk::CException);
}

TEST_F(FbDBLayerTest, TableIsCreatedFromItsColumnDefinitions)
{
    CDBTableInterface hosts = createdHosts();
    auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    EXPECT_TRUE(controller().accessor("HOSTS")->primaryKeyGenerator().exists(*transaction));
    EXPECT_EQ(hosts.largestKey(*transaction), CDBConstants::initialKeyValue) << "a new table is empty";
    // Every defined column, PK included, is in the table, and PK is its
    // primary key.
    auto rows = transaction->select("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = ?",
                                    {std::string("HOSTS")});
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asInt64(rows->firstColumn()), 4);
    rows = transaction->select("SELECT S.RDB$FIELD_NAME AS KEY_COLUMN FROM RDB$RELATION_CONSTRAINTS C "
                               "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                               "WHERE C.RDB$RELATION_NAME = ? AND C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'",
                               {std::string("HOSTS")});
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asString("KEY_COLUMN").substr(0, 2), "PK");
    EXPECT_FALSE(rows->fetch()) << "the key is PK alone";
}

TEST_F(FbDBLayerTest, RegisteringTheSameTableWithOtherColumnsIsRefused)
{
    session().table("HOSTS", hostColumns());
    CDBTypeStringMap fewer;
    fewer.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    EXPECT_THROW(session().table("HOSTS", fewer), osk::CException);
    EXPECT_NO_THROW(session().table("HOSTS", hostColumns()));
}

TEST_F(FbDBLayerTest, RowsAreInsertedSelectedUpdatedAndDeleted)
{
    CDBTableInterface hosts = createdHosts();
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t first = hosts.insert(*transaction, {{"NAME", std::string("alpha")}, {"HITS", int64_t(3)},
                                                      {"NOTE", std::string("first host")}});
    const int64_t second = hosts.insert(*transaction, {{"NAME", std::string("beta")}});
    EXPECT_EQ(first, 1) << "keys come from the table's generator";
    EXPECT_EQ(second, 2);
    EXPECT_EQ(controller().accessor("HOSTS")->largestKeyValue(), 2);
    const int64_t chosen = hosts.insert(*transaction, {{"PK", int64_t(100)}, {"NAME", std::string("gamma")}});
    EXPECT_EQ(chosen, 100) << "a row's own key is kept";
    transaction->commit();

    auto reader = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    auto rows = hosts.select(*reader, first);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asInt64("PK"), first);
    EXPECT_EQ(rows->asString("NAME"), "alpha");
    EXPECT_EQ(rows->asInt64("HITS"), 3);
    EXPECT_EQ(rows->asString("NOTE"), "first host");
    EXPECT_FALSE(rows->fetch());
    rows = hosts.select(*reader, second);
    ASSERT_TRUE(rows->fetch());
    EXPECT_TRUE(rows->isNull("HITS")) << "a column the row leaves out is null";
    EXPECT_EQ(hosts.largestKey(*reader), 100);
    rows = hosts.selectRange(*reader, 2, 100);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asInt64("PK"), 2);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asInt64("PK"), 100);
    EXPECT_FALSE(rows->fetch());
    rows.reset();
    reader->commit();

    auto writer = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(hosts.update(*writer, second, {{"NAME", std::string("beta2")}, {"HITS", int64_t(7)}}), 1u);
    EXPECT_EQ(hosts.update(*writer, 4242, {{"NAME", std::string("nobody")}}), 0u);
    EXPECT_EQ(hosts.remove(*writer, first), 1u);
    EXPECT_EQ(hosts.remove(*writer, first), 0u);
    writer->commit();

    EXPECT_EQ(nameOf(hosts, second), "beta2");
    EXPECT_EQ(nameOf(hosts, first), "<none>");
    EXPECT_EQ(nameOf(hosts, 100), "gamma") << "an update by key changes only that row";
}

TEST_F(FbDBLayerTest, RolledBackRowsAreGoneButTheirKeysAreNotReused)
{
    CDBTableInterface hosts = createdHosts();
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t lost = hosts.insert(*transaction, {{"NAME", std::string("lost")}});
    transaction->rollback();
    EXPECT_FALSE(transaction->isActiveTransaction());
    EXPECT_EQ(nameOf(hosts, lost), "<none>");

    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_GT(hosts.insert(*transaction, {{"NAME", std::string("kept")}}), lost);
    transaction->commit();
}

TEST_F(FbDBLayerTest, NamedCursorUpdatesAndDeletesTheRowItStandsOn)
{
    CDBTableInterface hosts = createdHosts();
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS, 2);
    EXPECT_EQ(transaction->commitType(), 1) << "transaction type 2 commits with commit type 1";
    const int64_t first = hosts.insert(*transaction, {{"NAME", std::string("one")}, {"HITS", int64_t(1)}});
    const int64_t second = hosts.insert(*transaction, {{"NAME", std::string("two")}, {"HITS", int64_t(2)}});
    transaction->commit();

    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    auto cursor = hosts.selectForUpdate(*transaction, first);
    ASSERT_TRUE(cursor->fetch());
    EXPECT_EQ(hosts.updateCurrent(*transaction, *cursor, {{"NAME", std::string("one, changed")},
                                                          {"HITS", int64_t(11)}}),
              1u);
    cursor.reset();
    cursor = hosts.selectForUpdate(*transaction, second);
    ASSERT_TRUE(cursor->fetch());
    EXPECT_EQ(hosts.removeCurrent(*transaction), 1u);
    cursor.reset();
    transaction->commit();

    EXPECT_EQ(nameOf(hosts, first), "one, changed");
    EXPECT_EQ(nameOf(hosts, second), "<none>");
    auto reader = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    auto rows = hosts.select(*reader, first);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asInt64("PK"), first) << "the cursor update keeps the row's key";
    EXPECT_EQ(rows->asInt64("HITS"), 11);
}

TEST_F(FbDBLayerTest, CursorSelectBecomesForUpdateOnANamedCursor)
{
    std::string statement;
    std::string cursor;
    ASSERT_TRUE(fbprov::CFbDBTransaction::splitCursorSelect("SELECT * FROM T WHERE (PK = ?) FOR UPDATE OF CUR2",
                                                            statement, cursor));
    EXPECT_EQ(statement, "SELECT * FROM T WHERE (PK = ?) FOR UPDATE");
    EXPECT_EQ(cursor, "CUR2");
    statement = cursor = "untouched";
    EXPECT_FALSE(fbprov::CFbDBTransaction::splitCursorSelect("SELECT * FROM T WHERE PK = ?", statement, cursor));
    EXPECT_FALSE(fbprov::CFbDBTransaction::splitCursorSelect("UPDATE T SET A=? WHERE CURRENT OF CUR2", statement,
                                                             cursor));
    EXPECT_FALSE(fbprov::CFbDBTransaction::splitCursorSelect("SELECT * FROM T FOR UPDATE OF", statement, cursor))
        << "no cursor name";
    EXPECT_EQ(statement, "untouched");
    EXPECT_EQ(cursor, "untouched");
}

TEST_F(FbDBLayerTest, EachTextIsPreparedOnceAndNestedSelectsKeepTheirOwnCursors)
{
    CDBTableInterface hosts = createdHosts();
    auto writer = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    std::vector<int64_t> keys;
    for (const char* name : {"a", "b", "c"}) keys.push_back(hosts.insert(*writer, {{"NAME", std::string(name)}}));
    writer->commit();

    auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    auto* firebird = dynamic_cast<fbprov::CFbDBTransaction*>(transaction.get());
    ASSERT_NE(nullptr, firebird);
    for (int round = 0; round < 20; ++round) {
        auto rows = transaction->select("SELECT NAME FROM HOSTS WHERE PK = ?", {keys[round % 3]});
        ASSERT_TRUE(rows->fetch());
        EXPECT_EQ(std::string(1, static_cast<char>('a' + round % 3)), rows->asString("NAME"));
    }
    EXPECT_EQ(1u, firebird->prepared()) << "twenty selects of one text, one after the other";

    // A select of the same text while the first one's cursor is open gets a
    // statement of its own, and both read every row.
    const std::string all = "SELECT PK FROM HOSTS ORDER BY PK";
    auto outer = transaction->select(all);
    size_t outerRows = 0;
    while (outer->fetch()) {
        ++outerRows;
        auto inner = transaction->select(all);
        size_t innerRows = 0;
        while (inner->fetch()) EXPECT_EQ(keys[innerRows++], inner->asInt64("PK"));
        EXPECT_EQ(3u, innerRows);
    }
    EXPECT_EQ(3u, outerRows);
    EXPECT_EQ(3u, firebird->prepared()) << "the outer select's and one for all the inner ones";
    outer.reset();

    // Rows that outlive their transaction do not break the pool.
    auto late = transaction->select(all);
    transaction->commit();
    transaction.reset();
    late.reset();

    // Another transaction of the connection runs the statements prepared before.
    auto next = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    auto* again = dynamic_cast<fbprov::CFbDBTransaction*>(next.get());
    ASSERT_NE(nullptr, again);
    auto rows = next->select("SELECT NAME FROM HOSTS WHERE PK = ?", {keys[1]});
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ("b", rows->asString("NAME"));
    rows.reset();
    auto listed = next->select(all);
    EXPECT_TRUE(listed->fetch());
    EXPECT_EQ(0u, again->prepared());
}

// Another connection ends every connection of the database but its own, as
// a restart of the database server or a broken network would.
void endOtherConnections(const std::string& databaseFile)
{
    auto other = fbprov::CFbDBTransaction(fbprov::CFbConnector::open(fbtest::settingsFor(databaseFile)),
                                          CDBConstants::READ_WRITE_ACCESS, 0);
    other.execute("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
    other.commit();
}

TEST_F(FbDBLayerTest, ALostConnectionIsReplacedAtTheNextTransaction)
{
    CDBTableInterface hosts = createdHosts();
    auto stranded = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    endOtherConnections(databaseFile());
    // The transaction that was open keeps its dead connection and fails.
    try {
        stranded->select("SELECT COUNT(*) FROM HOSTS")->fetch();
        ADD_FAILURE() << "a select on the lost connection ran";
    } catch (const CDBException& lost) {
        EXPECT_EQ(CDBErrorCodeMap::CONNECTION_LOST, lost.dbErrorCode()) << lost.printableError();
    }

    // The next one starts on a new connection, once.
    auto fresh = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    hosts.insert(*fresh, {{"NAME", std::string("after")}});
    fresh->commit();
    EXPECT_EQ(1, rowCount("HOSTS"));
    const auto& proxy = fbprov::CFbDatabaseProxy::of(controller().proxy());
    EXPECT_EQ(1u, proxy.reattachments());
    EXPECT_EQ(1u, log().countContaining("warning: The connection to the database '" + databaseFile() +
                                        "' was lost; a new connection is open."));
    stranded.reset();
    EXPECT_EQ(1, rowCount("HOSTS"));
    EXPECT_EQ(1u, proxy.reattachments());
}

TEST_F(FbDBLayerTest, AFailedReconnectionIsNotTriedAgainForAPause)
{
    createdHosts();
    auto& proxy = fbprov::CFbDatabaseProxy::of(controller().proxy());
    endOtherConnections(databaseFile());
    // The database cannot be opened for now: a directory stands in its
    // place. (The engine may still hold the file itself open for a while
    // after its connections end, and would attach to that.)
    const std::string kept = databaseFile() + ".kept";
    ASSERT_EQ(0, std::rename(databaseFile().c_str(), kept.c_str()));
    ASSERT_EQ(0, ::mkdir(databaseFile().c_str(), 0700));

    const osk::CException failed = thrown([&] { session().beginTransaction(CDBConstants::READ_ONLY_ACCESS); });
    EXPECT_NE(std::string::npos, failed.printableError().find("not a regular file")) << failed.printableError();
    // Within the pause the next transaction fails at once, saying why.
    const osk::CException paused = thrown([&] { session().beginTransaction(CDBConstants::READ_ONLY_ACCESS); });
    EXPECT_EQ("Cannot reconnect to the database '" + databaseFile() + "'.", paused.whatMsg().formatted());
    EXPECT_NE(std::string::npos, paused.whyMsg().formatted().find("less than 5000 ms ago"));
    EXPECT_EQ(0u, proxy.reattachments());
    // The attempt is logged, the transactions that did not try are not.
    EXPECT_EQ(1u, log().countContaining("error: The connection to the database '" + databaseFile() +
                                        "' was lost and a new one cannot be opened: "));
    EXPECT_EQ(1u, log().countContaining("the next attempt is made in 5000 ms."));

    // Once the database is back and the pause over, the next one connects.
    ASSERT_EQ(0, ::rmdir(databaseFile().c_str()));
    ASSERT_EQ(0, std::rename(kept.c_str(), databaseFile().c_str()));
    proxy.retryPause(std::chrono::milliseconds(0));
    EXPECT_EQ(0, rowCount("HOSTS"));
    EXPECT_EQ(1u, proxy.reattachments());
}

TEST_F(FbDBLayerTest, ReadOnlyAccessModeRefusesEveryWrite)
{
    CDBTableInterface hosts = createdHosts();
    auto seed = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t key = hosts.insert(*seed, {{"NAME", std::string("stays")}});
    seed->commit();

    auto transaction = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    EXPECT_FALSE(transaction->writable());
    EXPECT_EQ(failureOf([&] {
                  hosts.insert(*transaction, {{"NAME", std::string("refused")}});
              }),
              "Failed to write table record. / Access mode READ_ONLY_ACCESS does not allow writing.");
    EXPECT_THROW(hosts.update(*transaction, key, {{"NAME", std::string("refused")}}), osk::CException);
    EXPECT_THROW(hosts.remove(*transaction, key), osk::CException);
    EXPECT_THROW(hosts.selectForUpdate(*transaction, key), osk::CException);
    // The engine's transaction is read-only too: a write that bypasses the
    // table interface is refused by the database.
    EXPECT_THROW(transaction->execute("DELETE FROM HOSTS WHERE PK = ?", {key}), osk::CException);
    transaction->commit();
    EXPECT_EQ(nameOf(hosts, key), "stays");

    // Append access writes.
    auto append = session().beginTransaction(CDBConstants::APPEND_ACCESS);
    EXPECT_NO_THROW(hosts.insert(*append, {{"NAME", std::string("appended")}}));
    append->commit();
}

TEST_F(FbDBLayerTest, HostileTextsAreStoredVerbatim)
{
    CDBTableInterface hosts = createdHosts();
    const std::string quote = "O'Brien";
    const std::string injection = "1; DROP TABLE x";
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    const int64_t first = hosts.insert(*transaction, {{"NAME", quote}, {"NOTE", injection}});
    const int64_t second = hosts.insert(*transaction, {{"NAME", injection}, {"NOTE", quote}});
    transaction->commit();

    auto reader = session().beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    auto rows = hosts.select(*reader, first);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asString("NAME"), quote);
    EXPECT_EQ(rows->asString("NOTE"), injection);
    rows = hosts.select(*reader, second);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(rows->asString("NAME"), injection);
    EXPECT_EQ(rows->asString("NOTE"), quote);
    rows.reset();
    reader->commit();

    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(hosts.update(*transaction, first, {{"NAME", injection + "'--"}}), 1u);
    transaction->commit();
    EXPECT_EQ(nameOf(hosts, first), injection + "'--");
}

TEST_F(FbDBLayerTest, ColumnOutsideTheDefinitionsIsRefused)
{
    CDBTableInterface hosts = createdHosts();
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(thrown([&] {
                  hosts.insert(*transaction, {{"NAME", std::string("x")}, {"NAME=? OR 1=1", std::string("y")}});
              })
                  .whyMsg()
                  .formatted(),
              "Table 'HOSTS' has no column 'NAME=? OR 1=1'.");
    EXPECT_THROW(hosts.insert(*transaction, {{"PK", std::string("7")}}), osk::CException)
        << "a key must be an integer";
}

} // namespace
