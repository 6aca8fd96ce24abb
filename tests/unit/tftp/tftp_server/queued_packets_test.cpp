// Datagrams that wait on the transfer socket together are read one after
// the other in a single wake-up of the engine, without a reactor round
// between them. Each case sends its packets once as a burst (held back by
// the engine lock until all of them are queued) and once spaced out (each
// handled in a reactor round of its own), and expects the same of both.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace {

using namespace engine_test;

class QueuedPacketsTest : public CEngineFixture, public ::testing::WithParamInterface<bool> {
protected:
    bool queued() const { return GetParam(); }

    // Sends each packet from its client to the transfer port: all queued
    // before the engine may read any, or one at a time.
    void deliver(const std::vector<std::pair<CClient*, Bytes>>& packets)
    {
        if (queued()) {
            osk::CGuard<osk::CNRMutex> hold(_controller->server()->engineLock());
            for (const auto& packet : packets) packet.first->send(_port, packet.second);
            return;
        }
        for (const auto& packet : packets) {
            packet.first->send(_port, packet.second);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    // Requests name and checks the first block: a download starts with
    // block 1, an upload with the acknowledgement of block 0.
    void openAtFirstBlock(CClient& client, uint16_t op, const std::string& name)
    {
        EXPECT_EQ(op == 1 ? 1 : 0, blockOf(open(client, op, name)));
    }
    // Acknowledges blocks from..to of a download and checks the block that
    // answers each acknowledgement.
    void fetch(CClient& client, const Bytes& file, uint16_t from, uint16_t to)
    {
        for (uint16_t block = from; block <= to; ++block) {
            client.send(_port, ack(block));
            if (static_cast<size_t>(block) * 512 > file.size()) return;
            Bytes packet;
            ASSERT_TRUE(client.recv(packet, 2000)) << block;
            ASSERT_EQ(block + 1, blockOf(packet));
            EXPECT_EQ(file.substr(block * 512u, 512), packet.substr(4));
        }
    }
    std::string outcome() const { return _outcomes.empty() ? "" : _outcomes.back().message; }
};

TEST_P(QueuedPacketsTest, DuplicateOldAndStrangersPacketsChangeNothing)
{
    const Bytes file = pattern(512 * 4 + 100);
    writeFile("f.bin", file);
    // No timer fires during the test: every block comes from an
    // acknowledgement.
    start({{"tftp.timeout", "10s"}});
    recordOutcomes();
    CClient client;
    CClient stranger;
    openAtFirstBlock(client, 1, "f.bin");
    fetch(client, file, 1, 2);
    const uint64_t ignoredBefore = ignored();

    deliver({{&client, ack(3)}, {&client, ack(3)}, {&client, ack(2)}, {&stranger, ack(3)}, {&stranger, data(1, "x")}});
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(4, blockOf(packet));
    EXPECT_EQ(file.substr(3 * 512, 512), packet.substr(4));
    EXPECT_FALSE(client.recv(packet, 300)) << "block " << blockOf(packet) << " sent again";
    EXPECT_FALSE(stranger.recv(packet, 100));
    EXPECT_EQ(4u, ignored() - ignoredBefore);
    CState state;
    ASSERT_TRUE(transfer(client, state));
    EXPECT_EQ(CState::need_ack, state.state);
    EXPECT_EQ(4, state.blockNum);
    EXPECT_EQ(0u, state.retransmits);

    fetch(client, file, 4, 5);
    EXPECT_TRUE(waitGone(client, 2000));
    stop();
    EXPECT_EQ("success", outcome());
}

TEST_P(QueuedPacketsTest, ErrorBehindAnAckEndsTheTransferAfterThatAck)
{
    const Bytes file = pattern(512 * 6);
    writeFile("f.bin", file);
    start({{"tftp.timeout", "10s"}});
    recordOutcomes();
    CClient client;
    openAtFirstBlock(client, 1, "f.bin");
    fetch(client, file, 1, 1);
    const uint64_t ignoredBefore = ignored();

    // The acknowledgement after the error finds no transfer any more.
    deliver({{&client, ack(2)}, {&client, error(0, "stopped by the client")}, {&client, ack(3)}});
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(3, blockOf(packet));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_FALSE(client.recv(packet, 300)) << "block " << blockOf(packet) << " after the error";
    EXPECT_EQ(1u, ignored() - ignoredBefore);
    EXPECT_EQ(0u, active());
    stop();
    EXPECT_EQ("stopped by the client", outcome());
}

TEST_P(QueuedPacketsTest, UploadBlocksSentAheadAreAcknowledgedInOrder)
{
    start({{"tftp.timeout", "1s"}, {"tftp.overwrite.allow", "true"}});
    recordOutcomes();
    CClient client;
    openAtFirstBlock(client, 2, "up.bin");
    const Bytes first = pattern(512);
    const Bytes second = pattern(1024).substr(512);
    // The second block twice: its copy is answered with its acknowledgement
    // again, as a client that lost that acknowledgement expects.
    deliver(
        {{&client, data(1, first)}, {&client, data(2, second)}, {&client, data(2, second)}, {&client, data(3, "end")}});
    std::vector<uint16_t> acks;
    Bytes packet;
    while (client.recv(packet, 500)) {
        EXPECT_EQ(4, opcodeOf(packet));
        acks.push_back(blockOf(packet));
    }
    EXPECT_EQ((std::vector<uint16_t>{1, 2, 2, 3}), acks);
    EXPECT_TRUE(waitGone(client, 3000));
    stop();
    EXPECT_EQ("success", outcome());
    EXPECT_EQ(first + second + "end", readFile("up.bin"));
}

INSTANTIATE_TEST_SUITE_P(QueuedOrSpaced, QueuedPacketsTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Queued") : std::string("Spaced");
                         });

} // namespace
