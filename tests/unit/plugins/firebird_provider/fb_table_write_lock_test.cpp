// Several threads on one table through the real embedded engine: every
// thread registers and gets a handle of its own, and the table's write lock
// lets one write transaction at a time run, for at most the lock time-out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "extended/exception.h"
#include "fb_layer_fixture.h"
#include "oodb/db_accessor_i.h"
#include "oodb/db_table_interface_proxy.h"
#include "support/thrown.h"

// ThreadSanitizer's lock-order checker cannot follow the embedded engine:
// the engine holds more locks at once than the checker has room for (the
// checker itself aborts). Data races are still reported; the lock order of
// the layer's own locks is checked by the layer's accessor tests, which run
// without the engine.
extern "C" const char* __tsan_default_options() { return "detect_deadlocks=0"; }

namespace {

using Proxy = CDBTableInterfaceProxy;
using namespace std::chrono_literals;

class FbTableWriteLockTest : public fbtest::FbLayerTest {
protected:
    FbTableWriteLockTest() : _hosts(createdTable("HOSTS")) {}

    CDBAccessorI& hosts() { return _hosts; }
    Proxy& proxy() { return _hosts.registerThread(session()); }

    // Runs work on a thread of its own, registered with HOSTS for the time
    // of the work; returns the failure it met ("" for none).
    std::future<std::string> onOtherThread(std::function<void(Proxy&)> work)
    {
        return std::async(std::launch::async, [this, work] {
            std::string failure;
            try {
                work(_hosts.registerThread(session()));
            } catch (const osk::CException& e) {
                failure = e.whatMsg().formatted();
            }
            _hosts.releaseThread();
            return failure;
        });
    }

    void insert(Proxy& proxy, const std::string& name)
    {
        proxy.table().insert(*proxy.transaction(), {{"NAME", name}});
    }

private:
    CDBAccessorI& _hosts;
};

TEST_F(FbTableWriteLockTest, SecondWriterWaitsUntilTheFirstCommits)
{
    hosts().lockTimeOut(20s);
    Proxy& mine = proxy();
    mine.begin(CDBConstants::READ_WRITE_ACCESS);
    insert(mine, "first");

    std::promise<void> registered;
    std::atomic<bool> written{false};
    auto other = onOtherThread([&](Proxy& theirs) {
        registered.set_value();
        theirs.begin(CDBConstants::READ_WRITE_ACCESS);
        insert(theirs, "second");
        written = true;
        theirs.end();
    });
    registered.get_future().wait();
    EXPECT_EQ(other.wait_for(300ms), std::future_status::timeout) << "the second writer did not wait";
    EXPECT_FALSE(written);
    mine.end();
    EXPECT_EQ(other.get(), "");
    EXPECT_TRUE(written);
    EXPECT_EQ(rowCount("HOSTS"), 2);
}

TEST_F(FbTableWriteLockTest, WriterGivesUpAfterTheLockTimeOutAndSucceedsOnceTheLockIsFree)
{
    hosts().lockTimeOut(150ms);
    Proxy& mine = proxy();
    mine.begin(CDBConstants::APPEND_ACCESS);

    std::promise<void> firstEnded;
    std::shared_future<void> ended = firstEnded.get_future().share();
    std::promise<bool> timedOutAfterFailure;
    auto other = onOtherThread([&](Proxy& theirs) {
        const auto start = std::chrono::steady_clock::now();
        try {
            theirs.begin(CDBConstants::READ_WRITE_ACCESS);
        } catch (const osk::CException& e) {
            EXPECT_EQ(e.whatMsg().formatted(), "Failed to acquire a lock on database 'layer'.");
            EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
            EXPECT_EQ(theirs.transaction(), nullptr);
        }
        timedOutAfterFailure.set_value(hosts().getLockTimedOut(std::this_thread::get_id()));
        ended.wait();
        theirs.begin(CDBConstants::READ_WRITE_ACCESS);
        insert(theirs, "later");
        EXPECT_FALSE(hosts().getLockTimedOut(std::this_thread::get_id())) << "a successful attempt clears the mark";
        theirs.end();
    });
    EXPECT_TRUE(timedOutAfterFailure.get_future().get());
    EXPECT_FALSE(hosts().getLockTimedOut(std::this_thread::get_id())) << "only the waiting thread is marked";
    mine.end();
    firstEnded.set_value();
    EXPECT_EQ(other.get(), "");
    EXPECT_EQ(rowCount("HOSTS"), 1);
}

TEST_F(FbTableWriteLockTest, ReadersDoNotWaitForAWriter)
{
    hosts().lockTimeOut(100ms);
    Proxy& mine = proxy();
    mine.begin(CDBConstants::READ_WRITE_ACCESS);
    insert(mine, "uncommitted");
    auto reader = onOtherThread([&](Proxy& theirs) {
        CDBTransaction& transaction = theirs.begin(CDBConstants::READ_ONLY_ACCESS);
        EXPECT_EQ(theirs.table().largestKey(transaction), CDBConstants::initialKeyValue)
            << "the writer's row is not committed";
        theirs.end();
    });
    EXPECT_EQ(reader.get(), "");
    // A restart from reading to writing takes the lock like a new writer.
    auto upgrader = onOtherThread([&](Proxy& theirs) {
        theirs.begin(CDBConstants::READ_ONLY_ACCESS);
        theirs.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::READ_WRITE_ACCESS);
    });
    EXPECT_EQ(upgrader.get(), "Failed to acquire a lock on database 'layer'.");
    mine.end();
}

TEST_F(FbTableWriteLockTest, EachThreadHasOneHandleCountedPerRegistration)
{
    Proxy& first = proxy();
    EXPECT_EQ(&proxy(), &first) << "a thread registered twice keeps its handle";
    EXPECT_EQ(hosts().threadCount(), 1u);

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<const Proxy*> theirsSeen;
    auto other = onOtherThread([&](Proxy& theirs) {
        theirsSeen.set_value(&theirs);
        released.wait();
    });
    EXPECT_NE(theirsSeen.get_future().get(), &first);
    EXPECT_EQ(hosts().threadCount(), 2u);
    release.set_value();
    EXPECT_EQ(other.get(), "");
    EXPECT_EQ(hosts().threadCount(), 1u);

    hosts().releaseThread();
    EXPECT_EQ(hosts().threadCount(), 1u) << "one registration is left";
    hosts().releaseThread();
    EXPECT_EQ(hosts().threadCount(), 0u);
    EXPECT_NO_THROW(hosts().releaseThread()) << "releasing an unregistered thread does nothing";

    CDBBaseSession otherSession(session().config(), controller());
    proxy();
    EXPECT_EQ(test_support::failureOf([&] { hosts().registerThread(otherSession); }),
              "Failed to register a thread for table 'HOSTS'. / The thread is registered with another session.");
}

TEST_F(FbTableWriteLockTest, LastReleaseRollsBackAndFreesTheWriteLock)
{
    hosts().lockTimeOut(5s);
    auto writer = onOtherThread([&](Proxy& theirs) {
        theirs.begin(CDBConstants::READ_WRITE_ACCESS);
        insert(theirs, "never committed");
    });
    EXPECT_EQ(writer.get(), "");
    hosts().lockTimeOut(100ms);
    Proxy& mine = proxy();
    EXPECT_NO_THROW(mine.begin(CDBConstants::READ_WRITE_ACCESS));
    mine.end();
    EXPECT_EQ(rowCount("HOSTS"), 0);
}

TEST_F(FbTableWriteLockTest, PhoneyKeysNeverMeetRealOnes)
{
    std::set<int64_t> keys;
    auto take = [&] {
        std::vector<int64_t> taken;
        for (int i = 0; i < 100; ++i) taken.push_back(hosts().getNextPhoneyPrimaryKeyValue());
        return taken;
    };
    auto other = std::async(std::launch::async, take);
    for (int64_t key : take()) keys.insert(key);
    for (int64_t key : other.get()) keys.insert(key);
    EXPECT_EQ(keys.size(), 200u) << "every call gives a new key, on any thread";
    EXPECT_LT(*keys.rbegin(), CDBConstants::initialKeyValue);
}

} // namespace
