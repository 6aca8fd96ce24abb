// Real conflicts on the embedded engine reach the layer as its own error
// codes: callers tell a duplicate key from a lock conflict without knowing
// which database reported it.
#include <gtest/gtest.h>

#include <ibase.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "extended/exception.h"
#include "fb_layer_fixture.h"
#include "firebird_provider/fb_db_transaction.h"
#include "oodb/db_error_code_map.h"
#include "oodb/db_exception.h"
#include "support/thrown.h"

namespace {

using Codes = CDBErrorCodeMap;

class FbErrorCodeMapTest : public fbtest::FbLayerTest {
protected:
    FbErrorCodeMapTest() : _hosts(createdTable("HOSTS"))
    {
        auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        _hosts.insert(*transaction, {{"PK", int64_t(1)}, {"NAME", std::string("alpha")}});
        transaction->commit();
    }

    CDBTableInterface& hosts() { return _hosts; }

    // A layer transaction on a second connection (as another process would
    // have) that waits at most lockTimeout seconds for a record another
    // transaction has locked.
    std::unique_ptr<CDBTransaction> otherConnectionWaiting(unsigned lockTimeout)
    {
        if (!_otherConnection) _otherConnection = fbprov::CFbConnector::open(fbtest::settingsFor(databaseFile()));
        return std::make_unique<fbprov::CFbDBTransaction>(_otherConnection, CDBConstants::READ_WRITE_ACCESS, 0,
                                                          lockTimeout);
    }

    // Runs statements, each committed on its own (DDL needs the commit).
    void run(const std::string& sql)
    {
        auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        transaction->execute(sql);
        transaction->commit();
    }

private:
    CDBTableInterface _hosts;
    std::shared_ptr<fbprov::CFbAttachment> _otherConnection;
};

// The name of the layer's code of what work throws; "<nothing thrown>" when
// it throws nothing.
template <class Work>
std::string failureOf(Work work)
{
    try {
        work();
    } catch (const osk::CException& e) {
        return Codes::codeName(CDBException::codeOf(e));
    }
    return "<nothing thrown>";
}

TEST_F(FbErrorCodeMapTest, SecondKeyOfAUniqueIndexIsADuplicate)
{
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(failureOf([&] { hosts().insert(*transaction, {{"PK", int64_t(1)}}); }),
              "DUPLICATE_KEY")
        << "the primary key";
    transaction->rollback();

    run("CREATE UNIQUE INDEX HOSTS_NAME ON HOSTS (NAME)");
    transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(failureOf([&] { hosts().insert(*transaction, {{"NAME", std::string("alpha")}}); }),
              "DUPLICATE_KEY")
        << "a unique index";
}

TEST_F(FbErrorCodeMapTest, ReferenceToAMissingRowIsAForeignKeyViolation)
{
    CDBTypeStringMap columns;
    columns.setType("HOST", CDBFieldType::DB_TYPE_LONG);
    CDBTableInterface leases(createdTable("LEASES", columns));
    run("ALTER TABLE LEASES ADD CONSTRAINT LEASES_HOST FOREIGN KEY (HOST) REFERENCES HOSTS (PK)");

    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_NO_THROW(leases.insert(*transaction, {{"HOST", int64_t(1)}}));
    EXPECT_EQ(failureOf([&] { leases.insert(*transaction, {{"HOST", int64_t(99)}}); }),
              "FOREIGN_KEY_VIOLATION");
    EXPECT_EQ(failureOf([&] { hosts().remove(*transaction, 1); }),
              "FOREIGN_KEY_VIOLATION")
        << "removing a row that is referred to";
}

TEST_F(FbErrorCodeMapTest, TwoTransactionsChangingOneRowConflict)
{
    auto first = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(hosts().update(*first, 1, {{"NAME", std::string("first")}}), 1u);

    auto second = otherConnectionWaiting(fbprov::CFbTransaction::noWait);
    EXPECT_EQ(failureOf([&] { hosts().update(*second, 1, {{"NAME", std::string("second")}}); }), "LOCK_CONFLICT")
        << "without waiting";
    EXPECT_EQ(failureOf([&] { hosts().remove(*second, 1); }), "LOCK_CONFLICT");
    second->rollback();

    second = otherConnectionWaiting(1);
    EXPECT_EQ(failureOf([&] { hosts().update(*second, 1, {{"NAME", std::string("second")}}); }), "LOCK_CONFLICT")
        << "after the lock time-out";
    second->rollback();

    second = otherConnectionWaiting(30);
    auto waiting = std::async(std::launch::async, [&] {
        return failureOf([&] { hosts().update(*second, 1, {{"NAME", std::string("second")}}); });
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "the second transaction waits for the first";
    first->commit();
    EXPECT_EQ(waiting.get(), "LOCK_CONFLICT") << "the row changed while the second waited";
}

TEST_F(FbErrorCodeMapTest, RowFreedWhileWaitingIsWritten)
{
    auto first = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(hosts().update(*first, 1, {{"NAME", std::string("first")}}), 1u);
    auto second = otherConnectionWaiting(30);
    auto waiting = std::async(std::launch::async, [&] {
        return failureOf([&] { hosts().update(*second, 1, {{"NAME", std::string("second")}}); });
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    first->rollback();
    EXPECT_EQ(waiting.get(), "<nothing thrown>");
    second->commit();
}

TEST_F(FbErrorCodeMapTest, MapTranslatesFirebirdCodesAndRefusesOthers)
{
    const CDBErrorCodeMap& map = controller().factory()->errorCodeMap();
    EXPECT_EQ(map.translate(isc_no_dup), Codes::DUPLICATE_KEY);
    EXPECT_EQ(map.translate(isc_unique_key_violation), Codes::DUPLICATE_KEY);
    EXPECT_EQ(map.translate(isc_foreign_key), Codes::FOREIGN_KEY_VIOLATION);
    EXPECT_EQ(map.translate(isc_lock_conflict), Codes::LOCK_CONFLICT);
    EXPECT_EQ(map.translate(isc_deadlock), Codes::LOCK_CONFLICT);
    EXPECT_EQ(map.translate(isc_update_conflict), Codes::LOCK_CONFLICT);
    EXPECT_EQ(map.translate(isc_network_error), Codes::CONNECTION_LOST);
    EXPECT_EQ(test_support::failureOf([&] { map.translate(isc_dsql_error); }),
              "Cannot translate database return code '" + std::to_string(isc_dsql_error) + "'. / Unknown code.");
}

TEST_F(FbErrorCodeMapTest, FailuresWithoutACodeOfTheMapAreOther)
{
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(failureOf([&] { transaction->execute("SELECT FROM NOWHERE"); }), "OTHER");
    EXPECT_EQ(failureOf([&] { hosts().insert(*transaction, {{"NOT_A_COLUMN", int64_t(1)}}); }), "OTHER")
        << "a failure the layer finds itself";
}

} // namespace
