// The transfer state machine under loss, duplication and reordering: each
// case is a single scripted client that loses, repeats or delays exactly one
// packet, on loopback against the running engine.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "engine_fixture.h"

namespace {

using namespace engine_test;

class TransferLossTest : public CEngineFixture {
protected:
    // Acknowledges blocks from..to of a download, checking each block's
    // content against the file and that nothing else arrives.
    void fetchBlocks(CClient& client, const Bytes& file, size_t blksize, uint16_t from, uint16_t to)
    {
        for (uint16_t block = from; block <= to; ++block) {
            Bytes packet;
            ASSERT_TRUE(client.recv(packet, 2000)) << block;
            ASSERT_EQ(3, opcodeOf(packet));
            ASSERT_EQ(block, blockOf(packet));
            EXPECT_EQ(file.substr((block - 1) * blksize, blksize), packet.substr(4)) << block;
            client.send(_port, ack(block));
        }
    }
    std::set<std::string> outcomesOf(uint64_t transferID) const
    {
        std::set<std::string> out;
        for (const CState& state : _outcomes)
            if (state.transferID == transferID) out.insert(state.message);
        return out;
    }
};

// ---- a lost OACK -------------------------------------------------------------------

TEST_F(TransferLossTest, UnansweredOackOfADownloadIsRepeatedAsAnOack)
{
    const Bytes file = pattern(3000);
    writeFile("o.bin", file);
    start({{"tftp.timeout", "200ms"}});
    CClient client;
    ASSERT_EQ(6, opcodeOf(open(client, 1, "o.bin", {{"blksize", "1024"}})));
    // The client never saw it: what comes after the timeout is the OACK
    // again, never data block 0 of the negotiated size.
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(6, opcodeOf(packet));
    EXPECT_NE(std::string::npos, packet.find(std::string("blksize\0" "1024\0", 13)));
    client.send(_port, ack(0));
    fetchBlocks(client, file, 1024, 1, 3);
    EXPECT_TRUE(waitGone(client, 2000));
}

TEST_F(TransferLossTest, UnansweredOackOfAnUploadIsRepeatedAsAnOack)
{
    start({{"tftp.timeout", "200ms"}});
    CClient client;
    ASSERT_EQ(6, opcodeOf(open(client, 2, "o-up.bin", {{"blksize", "1024"}})));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(6, opcodeOf(packet)) << "an ACK 0 would make the client send 512-byte blocks";
    const Bytes file = pattern(1500);
    client.send(_port, data(1, file.substr(0, 1024)));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(1), packet);
    client.send(_port, data(2, file.substr(1024)));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(2), packet);
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ(file, readFile("o-up.bin"));
}

// ---- the last block ----------------------------------------------------------------

TEST_F(TransferLossTest, LastBlockIsRepeatedUntilItsAcknowledgementArrives)
{
    const Bytes file = pattern(700);
    writeFile("last.bin", file);
    start({{"tftp.timeout", "200ms"}});
    recordOutcomes();
    CClient client;
    open(client, 1, "last.bin");
    client.send(_port, ack(1));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    ASSERT_EQ(2, blockOf(packet));
    // Lost: the same last block comes again, and the transfer is still on.
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ(2, blockOf(packet));
    EXPECT_EQ(file.substr(512), packet.substr(4));
    CState state;
    ASSERT_TRUE(transfer(client, state));
    const uint64_t id = state.transferID;
    client.send(_port, ack(2));
    EXPECT_TRUE(waitGone(client, 2000));
    stop();
    EXPECT_EQ(std::set<std::string>{"success"}, outcomesOf(id));
}

TEST_F(TransferLossTest, UnacknowledgedLastBlockEndsAsMaxRxNotSuccess)
{
    writeFile("never.bin", pattern(100));
    start({{"tftp.timeout", "100ms"}, {"tftp.max_retransmits", "3"}});
    recordOutcomes();
    CClient client;
    open(client, 1, "never.bin");
    int sends = 1;
    Bytes packet;
    // Generous waits: a slow run must not look like the end of the resends.
    while (client.recv(packet, 1500)) {
        EXPECT_EQ(1, blockOf(packet));
        ++sends;
    }
    EXPECT_EQ(3, sends);
    EXPECT_TRUE(waitGone(client, 1000));
    stop();
    ASSERT_FALSE(_outcomes.empty());
    EXPECT_EQ("max_rx", _outcomes.back().message);
}

// ---- repeated requests ----------------------------------------------------------

TEST_F(TransferLossTest, RepeatedReadRequestIsAnsweredUntilTheClientAnswersThenIgnored)
{
    const Bytes file = pattern(2500);
    writeFile("dup.bin", file);
    // Every packet here answers a packet of the test: a timeout long enough
    // that no retransmission comes between them on a slow (sanitized,
    // loaded) machine.
    start({{"tftp.timeout", "5s"}});
    CClient client;
    ASSERT_EQ(6, opcodeOf(open(client, 1, "dup.bin", {{"blksize", "1024"}})));
    CState first;
    ASSERT_TRUE(transfer(client, first));

    // The OACK went missing and the client asked again: the OACK again,
    // the same transfer.
    client.send(_requestPort, request(1, "dup.bin", "octet", {{"blksize", "1024"}}));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(6, opcodeOf(packet));
    CState again;
    ASSERT_TRUE(transfer(client, again));
    EXPECT_EQ(first.transferID, again.transferID);

    client.send(_port, ack(0));
    fetchBlocks(client, file, 1024, 1, 1);
    // A late copy of the request after the client answered changes nothing:
    // no second OACK, no restart.
    const uint64_t before = ignored();
    client.send(_requestPort, request(1, "dup.bin", "octet", {{"blksize", "1024"}}));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ(2, blockOf(packet));
    EXPECT_FALSE(client.recv(packet, 300));
    EXPECT_EQ(before + 1, ignored());
    ASSERT_TRUE(transfer(client, again));
    EXPECT_EQ(first.transferID, again.transferID);
    client.send(_port, ack(2));
    fetchBlocks(client, file, 1024, 3, 3);
    EXPECT_TRUE(waitGone(client, 2000));
}

TEST_F(TransferLossTest, LateCopyOfAWriteRequestNeverLosesABlock)
{
    start();
    CClient client;
    ASSERT_EQ(ack(0), open(client, 2, "w.bin"));
    const Bytes file = pattern(1300);
    Bytes packet;
    // A copy before any data: ACK 0 again.
    client.send(_requestPort, request(2, "w.bin"));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(0), packet);
    client.send(_port, data(1, file.substr(0, 512)));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(1), packet);
    // A copy in the middle: ignored, the upload goes on where it was.
    client.send(_requestPort, request(2, "w.bin"));
    EXPECT_FALSE(client.recv(packet, 300));
    client.send(_port, data(2, file.substr(512, 512)));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(2), packet);
    client.send(_port, data(3, file.substr(1024)));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(3), packet);
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ(file, readFile("w.bin"));
}

// ---- stale and misdirected packets ----------------------------------------------

TEST_F(TransferLossTest, StaleAndDuplicateAcksInTheMiddleNeverResendABlock)
{
    const Bytes file = pattern(1800);
    writeFile("mid.bin", file);
    // A timeout far beyond the test's pauses: any repeated block here can
    // only come from an acknowledgement, never from the timer.
    start({{"tftp.timeout", "10s"}});
    CClient client;
    const Bytes first = open(client, 1, "mid.bin");
    ASSERT_EQ(1, blockOf(first));
    client.send(_port, ack(1));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    ASSERT_EQ(2, blockOf(packet));
    client.send(_port, ack(1));  // duplicate of the previous
    client.send(_port, ack(2));
    ASSERT_TRUE(client.recv(packet, 3000));
    ASSERT_EQ(3, blockOf(packet));
    EXPECT_EQ(file.substr(1024, 512), packet.substr(4));
    client.send(_port, ack(2));  // duplicate after the window moved
    client.send(_port, ack(1));  // older still
    EXPECT_FALSE(client.recv(packet, 400)) << "block " << blockOf(packet) << " sent twice";
    client.send(_port, ack(3));
    fetchBlocks(client, file, 512, 4, 4);
    EXPECT_TRUE(waitGone(client, 2000));
}

TEST_F(TransferLossTest, LateAckOfAFinishedDownloadDoesNotAbortTheNextUpload)
{
    writeFile("d.bin", pattern(100));
    start();
    CClient client;
    open(client, 1, "d.bin");
    client.send(_port, ack(1));
    EXPECT_TRUE(waitGone(client, 2000));

    ASSERT_EQ(ack(0), open(client, 2, "u.bin"));
    const uint64_t before = ignored();
    client.send(_port, ack(1));  // the download's final ACK, repeated late
    Bytes packet;
    EXPECT_FALSE(client.recv(packet, 300)) << "error " << blockOf(packet) << " " << errorText(packet);
    EXPECT_EQ(before + 1, ignored());
    client.send(_port, data(1, "payload"));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(1), packet);
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("payload", readFile("u.bin"));
}

TEST_F(TransferLossTest, LateDataOfAFinishedUploadDoesNotAbortTheNextDownload)
{
    writeFile("d2.bin", pattern(900));
    start();
    CClient client;
    open(client, 2, "u2.bin");
    client.send(_port, data(1, "x"));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    // The upload dallies for one timeout after its final ACK; a new request
    // replaces it at once.
    ASSERT_EQ(1, blockOf(open(client, 1, "d2.bin")));
    client.send(_port, data(1, "x"));
    EXPECT_FALSE(client.recv(packet, 300)) << "error " << blockOf(packet) << " " << errorText(packet);
    client.send(_port, ack(1));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(2, blockOf(packet));
}

TEST_F(TransferLossTest, PacketsNoTransferOfTheClientCouldSendGetError4)
{
    writeFile("f.bin", pattern(2000));
    start();
    {
        CClient client;
        open(client, 1, "f.bin");
        client.send(_port, data(1, "not from a download"));
        Bytes packet;
        ASSERT_TRUE(client.recv(packet, 3000));
        EXPECT_EQ(5, opcodeOf(packet));
        EXPECT_EQ(4, blockOf(packet));
        EXPECT_TRUE(waitGone(client, 1000));
    }
    {
        CClient client;
        open(client, 2, "g.bin");
        client.send(_port, ack(0));
        Bytes packet;
        ASSERT_TRUE(client.recv(packet, 3000));
        EXPECT_EQ(5, opcodeOf(packet));
        EXPECT_EQ(4, blockOf(packet));
        EXPECT_TRUE(waitGone(client, 1000));
    }
}

// ---- releasing transfers ----------------------------------------------------------

TEST_F(TransferLossTest, ReplacedTransfersLeaveAtOnceAndNeverLockOthersOut)
{
    writeFile("a.bin", pattern(5000));
    writeFile("b.bin", pattern(5000));
    start({{"tftp.max_connections", "2"}, {"tftp.timeout", "30s"}});
    recordOutcomes();
    CClient flood;
    for (int i = 0; i < 200; ++i) flood.send(_requestPort, request(1, i % 2 ? "a.bin" : "b.bin"));
    // Every request replaced the one before: one transfer, still one place
    // taken of the two.
    Bytes packet;
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(flood.recv(packet, 2000)) << i;
    EXPECT_EQ(1u, active());
    CClient other;
    other.send(_requestPort, request(1, "a.bin"));
    ASSERT_TRUE(other.recv(packet, 1000));
    EXPECT_EQ(1, blockOf(packet));
    EXPECT_EQ(2u, active());
    stop();
    std::map<uint64_t, std::set<std::string>> outcomes;
    for (const CState& state : _outcomes) outcomes[state.transferID].insert(state.message);
    // 199 replaced ones reported "aborted", each once; the last two were
    // ended by the shutdown and report nothing.
    size_t aborted = 0;
    for (const auto& entry : outcomes) aborted += entry.second == std::set<std::string>{"aborted"};
    EXPECT_EQ(199u, aborted);
}

TEST_F(TransferLossTest, CancelSendsTheErrorAtOnceNotAtTheDeadline)
{
    writeFile("c.bin", pattern(5000));
    start({{"tftp.timeout", "10s"}});
    CClient client;
    open(client, 1, "c.bin");
    CState state;
    ASSERT_TRUE(transfer(client, state));
    // Let the engine settle into its wait for the transfer's deadline.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(_controller->server()->cancel(state.transferID));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ("Transfer aborted", errorText(packet));
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_TRUE(waitGone(client, 1000));
    EXPECT_EQ(0u, active());
}

// ---- uploads that fail -------------------------------------------------------------

TEST_F(TransferLossTest, DiskFullEndsTheUploadWithError3AndNoFile)
{
    start();
    _factory.manager->failWrites = ENOSPC;
    CClient client;
    open(client, 2, "full.bin");
    client.send(_port, data(1, pattern(512)));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(3, blockOf(packet));
    EXPECT_TRUE(waitGone(client, 1000));
    EXPECT_FALSE(exists("full.bin"));
    EXPECT_FALSE(exists("full.bin.part"));
}

TEST_F(TransferLossTest, UploadThatEndsShortOfItsAnnouncedSizeIsNeverStored)
{
    // A client that lost its place (it skipped a block after seeing the
    // OACK twice) numbers the rest of its file one block early: the upload
    // ends one block short of the size it announced.
    start();
    const Bytes file = pattern(1300);
    for (const bool shifted : {true, false}) {
        const std::string name = shifted ? "shifted.bin" : "whole.bin";
        CClient client;
        ASSERT_EQ(6, opcodeOf(open(client, 2, name, {{"tsize", std::to_string(file.size())}})));
        Bytes packet;
        client.send(_port, data(1, file.substr(0, 512)));
        ASSERT_TRUE(client.recv(packet, 3000));
        EXPECT_EQ(ack(1), packet);
        const size_t next = shifted ? 1024 : 512;
        client.send(_port, data(2, file.substr(next, 512)));
        ASSERT_TRUE(client.recv(packet, 3000));
        if (shifted) {
            EXPECT_EQ(5, opcodeOf(packet));
            EXPECT_EQ("The upload's size differs from the size it announced.", errorText(packet));
        } else {
            EXPECT_EQ(ack(2), packet);
            client.send(_port, data(3, file.substr(1024)));
            ASSERT_TRUE(client.recv(packet, 3000));
            EXPECT_EQ(ack(3), packet);
        }
        EXPECT_TRUE(waitGone(client, 3000)) << name;
    }
    EXPECT_FALSE(exists("shifted.bin"));
    EXPECT_EQ(file, readFile("whole.bin"));
}

TEST_F(TransferLossTest, UploadReportsSuccessInItsFinalEvent)
{
    start();
    recordOutcomes();
    CClient client;
    open(client, 2, "ev-up.bin");
    client.send(_port, data(1, "abc"));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(ack(1), packet);
    EXPECT_TRUE(waitGone(client, 3000));
    stop();
    ASSERT_FALSE(_outcomes.empty());
    const osk::CStringMap last = _outcomes.back().sm();
    EXPECT_EQ("success", last.get_string("status"));
    EXPECT_EQ("receive", last.get_string("operation"));
    EXPECT_EQ("abc", readFile("ev-up.bin"));
}

// ---- names across managers and sockets ---------------------------------------------

TEST_F(TransferLossTest, NamesReachTheManagerOfTheirVirtualFileSystem)
{
    writeFile("x", "plain");
    CTestFactory vfs("vfs");
    _extraFactories.push_back(&vfs);
    start({{"tftp.fdm.allow_non_rooted_vfs", "true"}});
    for (const std::string name : {"/vfs/x", "vfs://x", "vfs/x", "x", "/x"}) {
        CClient client;
        Bytes packet;
        client.send(_requestPort, request(1, name));
        ASSERT_TRUE(client.recv(packet, 3000)) << name;
        EXPECT_EQ("plain", packet.substr(4)) << name;
    }
    const std::vector<std::string> viaVfs = vfs.manager->openedNames();
    const std::vector<std::string> viaFile = _factory.manager->openedNames();
    EXPECT_EQ(3u, viaVfs.size());
    EXPECT_EQ(2u, viaFile.size());
    for (const std::string& name : viaVfs) EXPECT_EQ("/x", name);
}

TEST_F(TransferLossTest, OneFailingListenEndpointLeavesTheOthersServing)
{
    writeFile("l.bin", "listening");
    // 192.0.2.1 (a documentation address) is not on this host.
    start({{"tftp.engine.listen_on", "127.0.0.1, 192.0.2.1"}});
    EXPECT_EQ(1u, _controller->server()->frontend()->binder().sockets().size());
    CClient client;
    Bytes packet;
    client.send(_requestPort, request(1, "l.bin"));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ("listening", packet.substr(4));
}

TEST_F(TransferLossTest, TransferPort69ServesRequestsOnTheOneSocket)
{
    {
        // The test needs port 69 for itself.
        osk::CSockDgram probe;
        try {
            probe.open(69, false);
        } catch (const osk::CException&) {
            GTEST_SKIP() << "port 69 is not available here";
        }
    }
    writeFile("p69.bin", pattern(600));
    start({{"tftp.transfer_port", "69"}});
    EXPECT_TRUE(_controller->server()->frontendDisabled());
    CClient client;
    Bytes packet;
    client.send(69, "query_ping");
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ("pong", packet);
    client.send(69, request(1, "p69.bin"));
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 1000, &port));
    EXPECT_EQ(69, port);
    EXPECT_EQ(1, blockOf(packet));
    client.send(69, ack(1));
    ASSERT_TRUE(client.recv(packet, 3000));
    EXPECT_EQ(2, blockOf(packet));
    EXPECT_EQ(pattern(600).substr(512), packet.substr(4));
}

} // namespace
