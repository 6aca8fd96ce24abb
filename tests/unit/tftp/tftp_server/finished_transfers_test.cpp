#include "tftp/tftp_server/finished_transfers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

osk::CEndpoint client(uint16_t port) { return osk::CEndpoint(osk::CIPAddress("192.0.2.7"), port); }

osk::CTimeval at(int64_t second) { return osk::CTimeval::fromSec(second); }

TEST(FinishedTransfersTest, RemembersTheDirectionUntilTheLingerEnds)
{
    CFinishedTransfers finished;
    finished.remember(client(1000), true, at(10));
    EXPECT_TRUE(finished.recentlyEnded(client(1000), true, at(9)));
    // An upload's late DATA is no download's late ACK.
    EXPECT_FALSE(finished.recentlyEnded(client(1000), false, at(9)));
    EXPECT_FALSE(finished.recentlyEnded(client(1000), true, at(10)));
    EXPECT_FALSE(finished.recentlyEnded(client(1001), true, at(9)));

    // A later transfer of the same endpoint replaces what is remembered.
    finished.remember(client(1000), false, at(20));
    EXPECT_EQ(1u, finished.size());
    EXPECT_FALSE(finished.recentlyEnded(client(1000), true, at(9)));
    EXPECT_TRUE(finished.recentlyEnded(client(1000), false, at(19)));
}

TEST(FinishedTransfersTest, AFullMemoryForgetsTheOldestFirst)
{
    CFinishedTransfers finished(3);
    for (uint16_t port = 1; port <= 3; ++port) finished.remember(client(port), true, at(100));
    // Renewed: its first place in the order no longer counts.
    finished.remember(client(1), true, at(100));
    finished.remember(client(4), true, at(100));
    EXPECT_EQ(3u, finished.size());
    EXPECT_TRUE(finished.recentlyEnded(client(1), true, at(0)));
    EXPECT_FALSE(finished.recentlyEnded(client(2), true, at(0)));
    EXPECT_TRUE(finished.recentlyEnded(client(3), true, at(0)));
    EXPECT_TRUE(finished.recentlyEnded(client(4), true, at(0)));

    // A long run of transfers keeps the newest ones, never more.
    for (uint16_t port = 10; port < 1000; ++port) {
        finished.remember(client(port), port % 2 == 0, at(port));
        ASSERT_EQ(3u, finished.size());
    }
    for (uint16_t port = 997; port < 1000; ++port)
        EXPECT_TRUE(finished.recentlyEnded(client(port), port % 2 == 0, at(0))) << port;
    EXPECT_FALSE(finished.recentlyEnded(client(996), true, at(0)));
}

TEST(FinishedTransfersTest, RenewalsAreBoundedAndForgetTheOldestFirst)
{
    // Each renewal leaves an old place in the order behind. The order is
    // bounded too (twice the capacity): past that, the oldest endpoints go,
    // one per renewal, and the renewed one stays.
    CFinishedTransfers finished(4);
    for (uint16_t port = 1; port <= 3; ++port) finished.remember(client(port), true, at(100));
    for (int round = 0; round < 5; ++round) finished.remember(client(9), false, at(100));
    EXPECT_EQ(4u, finished.size());
    for (uint16_t port = 1; port <= 3; ++port) EXPECT_TRUE(finished.recentlyEnded(client(port), true, at(0)));

    finished.remember(client(9), false, at(100));
    EXPECT_EQ(3u, finished.size());
    EXPECT_FALSE(finished.recentlyEnded(client(1), true, at(0)));
    EXPECT_TRUE(finished.recentlyEnded(client(2), true, at(0)));
    for (int round = 0; round < 100; ++round) finished.remember(client(9), false, at(100));
    EXPECT_EQ(1u, finished.size());
    EXPECT_TRUE(finished.recentlyEnded(client(9), false, at(0)));

    finished.clear();
    EXPECT_EQ(0u, finished.size());
    EXPECT_FALSE(finished.recentlyEnded(client(9), false, at(0)));
}

} // namespace
