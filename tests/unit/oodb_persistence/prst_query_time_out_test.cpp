// Query time-outs on the embedded Firebird engine: the timer runs on the
// timeout manager's task, the commit on the task that owns the transaction.
#include "oodb_persistence/prst_query_time_out.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "extended/command_queue_task.h"
#include "firebird_provider/firebird_provider_plugin.h"
#include "oodb/db_abstract_factory_facade.h"
#include "oodb/db_base_session.h"
#include "oodb/db_constants.h"
#include "oodb/db_controller.h"
#include "oodb_persistence/db_time_out_mgr.h"
#include "support/temp_dir.h"
#include "unit/extended/test_commands.h"
#include "unit/extended/test_controller.h"
#include "unit/oodb/oodb_expect.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using zelvo_test::CFnCommand;
using Task = osk::CCommandQueueTask<>;

const ACE_Time_Value kShort(0, 200000);

CDBTypeStringMap noteColumns()
{
    CDBTypeStringMap columns;
    columns.setType("TEXT", CDBFieldType::DB_TYPE_STRING);
    return columns;
}

class QueryTimeOutTest : public ::testing::Test {
protected:
    QueryTimeOutTest()
    {
        fbtest::lockDirectory();
        _plugin.registerFactories(_facade);
        _db = std::make_unique<CDBController>("timeout", 1, _facade, CDBConstants::firebirdImplementation);
        _config.set_string("system.db.path", _dir.path());
        _config.set_string("system.db.name", "timeout");
        _db->dbInit(_config);
        _session = std::make_unique<CDBBaseSession>(_config, *_db);
        CDBTableInterface notes = _session->table("NOTES", noteColumns());
        auto transaction = _session->beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        notes.createTable(*transaction);
        transaction->commit();

        EXPECT_EQ(_manager.run(), 0);
        EXPECT_EQ(_owner.run(), 0);
    }
    ~QueryTimeOutTest() override
    {
        // What the owner's thread holds goes away on that thread.
        onOwner([this] {
            _timeOut.reset();
            _transaction.reset();
        });
        _owner.shutdown();
        _manager.shutdown();
    }

    // Runs fn on the owner's thread and waits for it.
    void onOwner(const std::function<void()>& fn)
    {
        int runs = 0;
        osk::CAsyncResult<int> result(&runs);
        _owner.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("owner", result, [&fn](unsigned long) { fn(); })));
        result.wait();
        ASSERT_EQ(runs, 1);
    }

    // On the owner's thread: opens a transaction in mode and arms a time-out
    // for it.
    void openAndArm(CDBConstants::trans_access_mode mode, const ACE_Time_Value& delay,
                    const std::function<void(CDBTransaction&)>& work = nullptr)
    {
        onOwner([&] {
            _transaction = _session->beginTransaction(mode);
            if (work) work(*_transaction);
            _timeOut = std::make_unique<CPrstQueryTimeOut>(&_controller, _manager, _owner);
            _timeOut->start(delay, *_transaction);
        });
    }

    bool transactionActive()
    {
        bool active = false;
        onOwner([&] { active = _transaction->isActiveTransaction(); });
        return active;
    }

    // Waits up to ten seconds for a log entry containing text.
    bool waitForLog(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (_controller.countContaining(text) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    // Whether a second connection to the database, in a transaction started
    // now, sees a note.
    bool noteVisible(const std::string& text)
    {
        CDBController second("timeout", 1, _facade, CDBConstants::firebirdImplementation);
        second.dbInit(_config);
        CDBBaseSession session(_config, second);
        auto reader = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        auto rows = reader->select("SELECT COUNT(*) FROM NOTES WHERE TEXT = ?", {text});
        const bool found = rows->fetch() && rows->asInt64(rows->firstColumn()) == 1;
        rows.reset();
        reader->commit();
        return found;
    }

    zelvo_test::CTestController _controller;
    CDBTimeOutMgr _manager{&_controller};
    Task _owner{&_controller, "query-owner", 1};
    std::unique_ptr<CDBTransaction> _transaction;
    std::unique_ptr<CPrstQueryTimeOut> _timeOut;
    std::unique_ptr<CDBBaseSession> _session;

private:
    test_support::TempDir _dir;
    osk::CStringMap _config;
    fbprov::CFirebirdProviderPlugin _plugin;
    CDBAbstractFactoryFacade _facade;
    std::unique_ptr<CDBController> _db;
};

TEST_F(QueryTimeOutTest, IdleReadTransactionIsCommittedWhenTheTimerFires)
{
    openAndArm(CDBConstants::READ_ONLY_ACCESS, kShort, [](CDBTransaction& transaction) {
        auto rows = transaction.select("SELECT COUNT(*) FROM NOTES");
        ASSERT_TRUE(rows->fetch());
    });
    long id = 0;
    onOwner([&] { id = _timeOut->timerId(); });
    EXPECT_EQ(_controller.countContaining("Initiating a query time-out for 0.2 seconds with timer id " +
                                          std::to_string(id) + "."),
              1u);
    ASSERT_TRUE(waitForLog("Executing query time out for timer " + std::to_string(id) + "."));
    EXPECT_FALSE(transactionActive()) << "the idle read transaction was committed";
    onOwner([&] { EXPECT_FALSE(_timeOut->armed()); });
    EXPECT_EQ(_manager.pendingTimers(), 0u);
    // Finishing after the time-out has nothing left to cancel.
    onOwner([&] { _timeOut->finish(); });
    EXPECT_EQ(_controller.countContaining("has been cancelled"), 0u);
}

TEST_F(QueryTimeOutTest, PendingWorkBecomesVisibleToASecondConnection)
{
    openAndArm(CDBConstants::READ_WRITE_ACCESS, kShort, [](CDBTransaction& transaction) {
        transaction.execute("INSERT INTO NOTES (PK, TEXT) VALUES (1, ?)", {std::string("left open")});
    });
    EXPECT_FALSE(noteVisible("left open")) << "not committed before the time-out";
    ASSERT_TRUE(waitForLog("Executing query time out for timer"));
    // The expiry logs before it commits; the owner's next command runs after
    // the commit.
    onOwner([] {});
    EXPECT_TRUE(noteVisible("left open")) << "committed by the time-out";
    EXPECT_FALSE(transactionActive());
}

TEST_F(QueryTimeOutTest, CancelledTimerNeverFires)
{
    openAndArm(CDBConstants::READ_ONLY_ACCESS, kShort);
    long id = 0;
    onOwner([&] {
        id = _timeOut->timerId();
        _timeOut->finish();
        EXPECT_FALSE(_timeOut->armed());
    });
    EXPECT_EQ(_controller.countContaining("Query timer " + std::to_string(id) + " has been cancelled."), 1u);
    EXPECT_EQ(_manager.pendingTimers(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(transactionActive());
    EXPECT_EQ(_controller.countContaining("Executing query time out"), 0u);
}

TEST_F(QueryTimeOutTest, ExpiryThatArrivesAfterTheQueryFinishedCommitsNothing)
{
    // The timer fires while the owner's thread is still busy with its query;
    // the expiry waits in the owner's queue until the query has finished
    // and cancelled the time-out, and then must do nothing.
    openAndArm(CDBConstants::READ_ONLY_ACCESS, ACE_Time_Value(0, 20000), [](CDBTransaction&) {});
    onOwner([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (_manager.pendingTimers() != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(_manager.pendingTimers(), 0u) << "the timer has fired";
        EXPECT_TRUE(_transaction->isActiveTransaction()) << "no commit while the owner works";
        _timeOut->finish();
    });
    onOwner([] {}); // the expiry queued behind the query has run by now
    EXPECT_TRUE(transactionActive());
    EXPECT_EQ(_controller.countContaining("Executing query time out"), 0u);
}

TEST_F(QueryTimeOutTest, RearmingReplacesTheRunningTimer)
{
    openAndArm(CDBConstants::READ_ONLY_ACCESS, ACE_Time_Value(30));
    long first = 0;
    long second = 0;
    onOwner([&] {
        first = _timeOut->timerId();
        _timeOut->start(kShort, *_transaction);
        second = _timeOut->timerId();
    });
    EXPECT_NE(first, second);
    EXPECT_EQ(_controller.countContaining("Query timer " + std::to_string(first) + " has been cancelled."), 1u);
    ASSERT_TRUE(waitForLog("Executing query time out for timer " + std::to_string(second) + "."));
    EXPECT_FALSE(transactionActive());
}

TEST_F(QueryTimeOutTest, ManagerThatDoesNotRunIsAFailure)
{
    CDBTimeOutMgr idle(&_controller);
    onOwner([&] {
        _transaction = _session->beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        CPrstQueryTimeOut timeOut(&_controller, idle, _owner);
        EXPECT_TRUE(raisesPersistence([&] { timeOut.start(kShort, *_transaction); },
                                      "Failed to initialize timeout manager.", "The timeout manager is not running."));
        EXPECT_FALSE(timeOut.armed());
    });
    EXPECT_FALSE(idle.cancel(1)) << "a manager that does not run has no timer to cancel";
}

TEST_F(QueryTimeOutTest, OnlyTheOwnersThreadMayArm)
{
    auto transaction = _session->beginTransaction(CDBConstants::READ_ONLY_ACCESS);
    CPrstQueryTimeOut timeOut(&_controller, _manager, _owner);
    EXPECT_THROW(timeOut.start(kShort, *transaction), osk::CException);
    EXPECT_FALSE(timeOut.armed());
    EXPECT_EQ(_manager.pendingTimers(), 0u);
}

TEST(DBTimeOutMgrTest, RunsAsTheNamedTask)
{
    zelvo_test::CTestController controller;
    CDBTimeOutMgr manager(&controller);
    EXPECT_EQ(manager.taskName(), "db-timeout-manager");
    ASSERT_EQ(manager.run(), 0);
    EXPECT_EQ(manager.pendingTimers(), 0u);
    EXPECT_FALSE(manager.cancel(12345)) << "an unknown timer";
    manager.shutdown();
}

} // namespace
