#include "standard/expiring_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Cache = osk::CExpiringCache<std::string, int>;

// A clock the test moves by hand.
class ExpiringCacheTest : public ::testing::Test {
protected:
    Cache::now_t clock()
    {
        return [this] { return now; };
    }
    // The value of key, or -1 when the cache misses.
    static int get(Cache& cache, const std::string& key)
    {
        int value = -1;
        return cache.find(key, value) ? value : -1;
    }

    Cache::clock_t::time_point now{};
};

TEST_F(ExpiringCacheTest, AnEntryLivesForItsLifetimeAndNotAMomentLonger)
{
    Cache cache(5s, 10, clock());
    EXPECT_EQ(-1, get(cache, "a"));
    cache.store("a", 1);
    EXPECT_EQ(1, get(cache, "a"));
    now += 4999ms;
    EXPECT_EQ(1, get(cache, "a"));
    now += 1ms;
    EXPECT_EQ(-1, get(cache, "a"));
    // The expired entry was dropped when it was found.
    EXPECT_EQ(0u, cache.size());
}

TEST_F(ExpiringCacheTest, StoringAgainReplacesTheValueAndStartsItsLifetimeAnew)
{
    Cache cache(5s, 10, clock());
    cache.store("a", 1);
    now += 4s;
    cache.store("a", 2);
    now += 4s;
    EXPECT_EQ(2, get(cache, "a"));
    EXPECT_EQ(1u, cache.size());
    now += 1s;
    EXPECT_EQ(-1, get(cache, "a"));
}

TEST_F(ExpiringCacheTest, AFullCacheDropsExpiredEntriesFirstThenTheOldest)
{
    Cache cache(10s, 3, clock());
    cache.store("a", 1);
    now += 1s;
    cache.store("b", 2);
    now += 1s;
    cache.store("c", 3);
    // Full and nothing expired: the oldest (a) makes room.
    cache.store("d", 4);
    EXPECT_EQ(3u, cache.size());
    EXPECT_EQ(-1, get(cache, "a"));
    EXPECT_EQ(2, get(cache, "b"));
    EXPECT_EQ(3, get(cache, "c"));
    EXPECT_EQ(4, get(cache, "d"));

    // Storing b again makes it the newest: c is the oldest now.
    cache.store("b", 20);
    cache.store("e", 5);
    EXPECT_EQ(-1, get(cache, "c"));
    EXPECT_EQ(20, get(cache, "b"));

    // b, d and e expire together later; once they have, one store clears
    // them all instead of holding dead entries.
    now += 11s;
    cache.store("f", 6);
    EXPECT_EQ(1u, cache.size());
    EXPECT_EQ(6, get(cache, "f"));
}

TEST_F(ExpiringCacheTest, ManyKeysNeverGrowPastTheCapacity)
{
    Cache cache(1h, 100, clock());
    for (int i = 0; i < 1000; ++i) {
        cache.store("key" + std::to_string(i), i);
        ASSERT_LE(cache.size(), 100u);
    }
    // The last hundred stay.
    EXPECT_EQ(999, get(cache, "key999"));
    EXPECT_EQ(900, get(cache, "key900"));
    EXPECT_EQ(-1, get(cache, "key899"));
}

TEST_F(ExpiringCacheTest, ZeroLifetimeOrCapacityKeepsNothing)
{
    Cache timeless(0s, 10, clock());
    Cache roomless(5s, 0, clock());
    for (Cache* cache : {&timeless, &roomless}) {
        EXPECT_FALSE(cache->enabled());
        cache->store("a", 1);
        EXPECT_EQ(-1, get(*cache, "a"));
        EXPECT_EQ(0u, cache->size());
    }
}

TEST_F(ExpiringCacheTest, ClearForgetsEverything)
{
    Cache cache(5s, 10, clock());
    cache.store("a", 1);
    cache.store("b", 2);
    cache.clear();
    EXPECT_EQ(0u, cache.size());
    EXPECT_EQ(-1, get(cache, "a"));
    cache.store("a", 3);
    EXPECT_EQ(3, get(cache, "a"));
}

TEST(ExpiringCacheThreadsTest, SeveralThreadsStoreAndFindWithinTheBound)
{
    osk::CExpiringCache<int, int> cache(std::chrono::seconds(60), 50);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < 2000; ++i) {
                const int key = (i * 7 + t) % 200;
                int value = 0;
                if (cache.find(key, value)) {
                    EXPECT_EQ(key * 3, value);
                }
                cache.store(key, key * 3);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_LE(cache.size(), 50u);
}

} // namespace
