#include "oodb/db_accessor_i.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "oodb_expect.h"

namespace {

using namespace std::chrono_literals;

// An accessor of table T in database "main"; the lock needs no generator.
class DBAccessorLockTest : public ::testing::Test {
protected:
    CDBAccessorI accessor{"main", "T", CDBTypeStringMap(), nullptr};
};

TEST_F(DBAccessorLockTest, OneThreadAtATimeHoldsTheWriteLock)
{
    accessor.lockTimeOut(10s);
    std::atomic<int> holders{0};
    std::atomic<int> mostAtOnce{0};
    auto work = [&] {
        for (int i = 0; i < 50; ++i) {
            CDBAccessorI::CWriteLock lock(accessor);
            const int now = ++holders;
            int seen = mostAtOnce.load();
            while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::yield();
            --holders;
        }
    };
    auto first = std::async(std::launch::async, work);
    auto second = std::async(std::launch::async, work);
    work();
    first.get();
    second.get();
    EXPECT_EQ(mostAtOnce.load(), 1);
}

TEST_F(DBAccessorLockTest, HolderMayTakeTheLockAgain)
{
    accessor.lockTimeOut(50ms);
    CDBAccessorI::CWriteLock outer(accessor);
    {
        CDBAccessorI::CWriteLock inner(accessor);
    }
    // Still held after the inner release: another thread times out.
    auto other = std::async(std::launch::async, [&] {
        try {
            CDBAccessorI::CWriteLock lock(accessor);
        } catch (const osk::CException&) {
            return true;
        }
        return false;
    });
    EXPECT_TRUE(other.get());
}

TEST_F(DBAccessorLockTest, WaiterThatTimesOutIsMarkedUntilItSucceeds)
{
    accessor.lockTimeOut(50ms);
    std::promise<void> release;
    std::promise<void> held;
    auto holder = std::async(std::launch::async, [&] {
        CDBAccessorI::CWriteLock lock(accessor);
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    EXPECT_TRUE(raisesOodb([&] { CDBAccessorI::CWriteLock lock(accessor); },
                           "Failed to acquire a lock on database 'main'.",
                           "The write lock of table 'T' was not free within 50 ms."));
    EXPECT_TRUE(accessor.getLockTimedOut(std::this_thread::get_id()));
    release.set_value();
    holder.get();
    {
        CDBAccessorI::CWriteLock lock(accessor);
    }
    EXPECT_FALSE(accessor.getLockTimedOut(std::this_thread::get_id()));

    accessor.setLockTimedOut(std::this_thread::get_id(), true);
    EXPECT_TRUE(accessor.getLockTimedOut(std::this_thread::get_id()));
    accessor.setLockTimedOut(std::this_thread::get_id(), false);
    EXPECT_FALSE(accessor.getLockTimedOut(std::this_thread::get_id()));
}

} // namespace
