#include "tftp/tftp_server/finished_transfers.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
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

// The memory's rules told plainly: endpoints by their newest remembering,
// an order of every remembering bounded at twice the capacity, the oldest
// place in the order forgotten first.
class PlainMemory {
public:
    explicit PlainMemory(size_t capacity) : _capacity(capacity) {}

    void remember(uint16_t port, bool transmitting, int64_t until)
    {
        const uint64_t generation = ++_generation;
        _order.emplace_back(generation, port);
        if (!_entries.count(port)) {
            while (_entries.size() >= _capacity) _forgetOldest();
        }
        _entries[port] = {generation, transmitting, until};
        while (_order.size() > 2 * _capacity) _forgetOldest();
    }
    bool recentlyEnded(uint16_t port, bool transmitting, int64_t now) const
    {
        const auto found = _entries.find(port);
        return found != _entries.end() && found->second.transmitting == transmitting && now < found->second.until;
    }
    size_t size() const { return _entries.size(); }

private:
    struct Entry {
        uint64_t generation;
        bool transmitting;
        int64_t until;
    };
    void _forgetOldest()
    {
        const auto oldest = _order.front();
        _order.pop_front();
        const auto found = _entries.find(oldest.second);
        if (found != _entries.end() && found->second.generation == oldest.first) _entries.erase(found);
    }
    size_t _capacity;
    uint64_t _generation = 0;
    std::map<uint16_t, Entry> _entries;
    std::deque<std::pair<uint64_t, uint16_t>> _order;
};

// Random endpoints from a small set, so that renewals, evictions and the
// index's collisions and removals mix; after every step the memory answers
// as the plain rules do for every endpoint.
TEST(FinishedTransfersTest, AnswersAsThePlainRulesThroughRandomRenewalsAndEvictions)
{
    std::mt19937 random(20261207);
    for (const size_t capacity : {1u, 2u, 7u, 64u}) {
        CFinishedTransfers finished(capacity);
        PlainMemory plain(capacity);
        const uint16_t ports = static_cast<uint16_t>(3 * capacity + 2);
        for (int step = 0; step < 3000; ++step) {
            const auto port = static_cast<uint16_t>(1 + random() % ports);
            const bool transmitting = random() % 2 == 0;
            const int64_t until = 1 + random() % 50;
            finished.remember(client(port), transmitting, at(until));
            plain.remember(port, transmitting, until);
            ASSERT_EQ(plain.size(), finished.size()) << "capacity " << capacity << " step " << step;
            for (uint16_t probe = 1; probe <= ports; ++probe) {
                for (const bool way : {true, false}) {
                    ASSERT_EQ(plain.recentlyEnded(probe, way, 25), finished.recentlyEnded(client(probe), way, at(25)))
                        << "capacity " << capacity << " step " << step << " port " << probe;
                }
            }
        }
    }
}

} // namespace
