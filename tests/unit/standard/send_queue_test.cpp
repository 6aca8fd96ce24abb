#include "standard/send_queue.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <string>
#include <vector>

#include "standard/sock_dgram.h"

namespace {

using osk::CEndpoint;
using osk::CIPAddress;
using osk::CSendQueue;
using osk::CSockDgram;

// A sending and two receiving sockets on the IPv4 loopback.
class SendQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const CEndpoint local(CIPAddress("127.0.0.1"), 0);
        sender.open(local);
        first.open(local);
        second.open(local);
    }

    // Every datagram waiting on sock, oldest first.
    static std::vector<std::string> drain(CSockDgram& sock)
    {
        std::vector<std::string> out;
        char buffer[2048];
        CEndpoint from;
        for (;;) {
            const ssize_t got = sock.recv(buffer, sizeof(buffer), from, MSG_DONTWAIT);
            if (got < 0) return out;
            out.emplace_back(buffer, static_cast<size_t>(got));
        }
    }

    CSockDgram sender;
    CSockDgram first;
    CSockDgram second;
};

TEST_F(SendQueueTest, NothingLeavesBeforeTheFlushAndEverythingAfterIt)
{
    CSendQueue queue(8);
    ASSERT_TRUE(queue.push(sender, "a1", 2, first.local_endpoint()));
    ASSERT_TRUE(queue.push(sender, "b1", 2, second.local_endpoint()));
    ASSERT_TRUE(queue.push(sender, "a2", 2, first.local_endpoint()));
    EXPECT_EQ(3u, queue.size());
    EXPECT_TRUE(drain(first).empty());

    queue.flush(sender);
    EXPECT_EQ(0u, queue.size());
    EXPECT_EQ((std::vector<std::string>{"a1", "a2"}), drain(first));
    EXPECT_EQ((std::vector<std::string>{"b1"}), drain(second));
    EXPECT_TRUE(queue.takeFailed().empty());
}

TEST_F(SendQueueTest, AFullQueueIsSentBeforeTheNextDatagram)
{
    CSendQueue queue(3);
    std::vector<std::string> sent;
    for (int i = 0; i < 7; ++i) {
        // Lengths differ, and a slot that held a longer datagram takes a
        // shorter one: each goes out with its own length.
        sent.push_back(std::string(static_cast<size_t>(100 - i * 10), static_cast<char>('a' + i)));
        ASSERT_TRUE(queue.push(sender, sent.back().data(), sent.back().size(), first.local_endpoint()));
        // Three queued, then the fourth push sends them and queues itself.
        EXPECT_EQ(static_cast<size_t>(i % 3 + 1), queue.size()) << i;
    }
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 6), drain(first));
    queue.flush(sender);
    EXPECT_EQ(std::vector<std::string>(sent.begin() + 6, sent.end()), drain(first));
}

TEST_F(SendQueueTest, ARefusedDatagramIsSkippedAndNamed)
{
    CSendQueue queue(8);
    // An IPv4 socket cannot send to an IPv6 address: the system refuses that
    // datagram alone.
    const CEndpoint unreachable(CIPAddress("2001:db8::7"), 69);
    ASSERT_TRUE(queue.push(sender, "x1", 2, first.local_endpoint()));
    ASSERT_TRUE(queue.push(sender, "lost", 4, unreachable));
    ASSERT_TRUE(queue.push(sender, "x2", 2, first.local_endpoint()));
    queue.flush(sender);
    EXPECT_EQ((std::vector<std::string>{"x1", "x2"}), drain(first));
    const std::vector<CEndpoint> failed = queue.takeFailed();
    ASSERT_EQ(1u, failed.size());
    EXPECT_EQ(unreachable, failed[0]);
    EXPECT_TRUE(queue.takeFailed().empty());

    // An endpoint without an address has no socket address at all.
    EXPECT_FALSE(queue.push(sender, "y", 1, CEndpoint()));
    EXPECT_EQ(0u, queue.size());
}

} // namespace
