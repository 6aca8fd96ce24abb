#include "standard/datagram_batch.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <vector>

#include "standard/sock_dgram.h"

namespace {

using osk::CDatagramBatch;
using osk::CEndpoint;
using osk::CIPAddress;
using osk::CSockDgram;

// A receiving and two sending sockets on the IPv4 loopback. Datagrams on
// loopback are queued at the receiver before send returns, so reads that
// do not wait find them.
class DatagramBatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const CEndpoint local(CIPAddress("127.0.0.1"), 0);
        server.open(local);
        first.open(local);
        second.open(local);
    }

    void send(CSockDgram& from, const std::string& text)
    {
        ASSERT_EQ(static_cast<ssize_t>(text.size()), from.send(text.data(), text.size(), server.local_endpoint()));
    }

    // The next datagram as text, or "" with the read's result in result.
    std::string next(CDatagramBatch& batch, size_t length, CEndpoint& from, ssize_t* result = nullptr)
    {
        std::vector<char> buffer(length);
        const ssize_t got = batch.next(server, buffer.data(), buffer.size(), from, MSG_DONTWAIT);
        if (result) *result = got;
        return got > 0 ? std::string(buffer.data(), static_cast<size_t>(got)) : std::string();
    }

    CSockDgram server;
    CSockDgram first;
    CSockDgram second;
};

TEST_F(DatagramBatchTest, HandsOutEveryDatagramInOrderWithItsSender)
{
    CDatagramBatch batch(4);
    EXPECT_EQ(4u, batch.capacity());
    std::vector<std::string> sent;
    for (int i = 0; i < 11; ++i) {
        sent.push_back("datagram " + std::to_string(i) + std::string(static_cast<size_t>(i), '*'));
        send(i % 3 == 0 ? second : first, sent.back());
    }
    for (int i = 0; i < 11; ++i) {
        CEndpoint from;
        EXPECT_EQ(sent[static_cast<size_t>(i)], next(batch, 512, from)) << i;
        EXPECT_EQ((i % 3 == 0 ? second : first).local_endpoint(), from) << i;
        // Eleven datagrams come in reads of four: 4, 4 and 3.
        const size_t left = i < 8 ? 3 - static_cast<size_t>(i % 4) : 10 - static_cast<size_t>(i);
        EXPECT_EQ(left, batch.pending()) << i;
    }
    CEndpoint from;
    ssize_t result = 0;
    EXPECT_EQ("", next(batch, 512, from, &result));
    EXPECT_EQ(-1, result);
    EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
    EXPECT_EQ(0u, batch.pending());
}

TEST_F(DatagramBatchTest, LongDatagramsAreCutAndSlotsGrowWithTheLengthAsked)
{
    CDatagramBatch batch(2);
    send(first, std::string(100, 'a'));
    send(first, std::string(700, 'b'));
    CEndpoint from;
    // Read with room for 50 bytes: both are cut at 50, as recv cuts them.
    EXPECT_EQ(std::string(50, 'a'), next(batch, 50, from));
    EXPECT_EQ(std::string(50, 'b'), next(batch, 512, from));

    // A larger buffer later: the next read takes whole datagrams again.
    send(second, std::string(1400, 'c'));
    send(second, "d");
    EXPECT_EQ(std::string(1400, 'c'), next(batch, 2000, from));
    EXPECT_EQ(second.local_endpoint(), from);
    EXPECT_EQ("d", next(batch, 2000, from));
}

TEST_F(DatagramBatchTest, ClearForgetsWhatWasRead)
{
    CDatagramBatch batch(8);
    for (int i = 0; i < 3; ++i) send(first, "x" + std::to_string(i));
    CEndpoint from;
    EXPECT_EQ("x0", next(batch, 64, from));
    EXPECT_EQ(2u, batch.pending());
    batch.clear();
    EXPECT_EQ(0u, batch.pending());
    send(first, "y");
    EXPECT_EQ("y", next(batch, 64, from));
}

TEST_F(DatagramBatchTest, ASocketReadOneAtATimeNamesTheSender)
{
    send(second, "single");
    char buffer[16];
    CEndpoint from;
    ASSERT_EQ(6, server.recv(buffer, sizeof(buffer), from, MSG_DONTWAIT));
    EXPECT_EQ("single", std::string(buffer, 6));
    EXPECT_EQ(second.local_endpoint(), from);
    EXPECT_EQ(-1, server.recv(buffer, sizeof(buffer), from, MSG_DONTWAIT));
}

} // namespace
