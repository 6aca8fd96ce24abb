// Transfers with a window of several blocks per acknowledgement: a scripted
// client on loopback against the running engine, at the edges of the window
// (one block, larger than the file, an acknowledgement inside it, block
// numbers rolling over inside it, a short or empty last block) and under
// loss and duplication.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "engine_fixture.h"

namespace {

using namespace engine_test;

class WindowTransferTest : public CEngineFixture {
protected:
    // Requests name with these options and reads the OACK and the port.
    Bytes openWindowed(CClient& client, uint16_t op, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& options)
    {
        const Bytes packet = open(client, op, name, options);
        EXPECT_EQ(6, opcodeOf(packet));
        return packet;
    }
    // Receives the data blocks first..first+count-1 (counted from 1 for the
    // file's first block, so numbers past 65535 wrap on the wire) and checks
    // each against the file.
    void expectBlocks(CClient& client, const Bytes& file, size_t blksize, uint64_t first, uint64_t count)
    {
        for (uint64_t index = first; index < first + count; ++index) {
            Bytes packet;
            ASSERT_TRUE(client.recv(packet, 2000)) << "block " << index;
            ASSERT_EQ(3, opcodeOf(packet)) << index;
            ASSERT_EQ(static_cast<uint16_t>(index), blockOf(packet)) << index;
            ASSERT_EQ(file.substr((index - 1) * blksize, blksize), packet.substr(4)) << index;
        }
    }
    // Nothing arrives within ms milliseconds.
    void expectSilence(CClient& client, int ms)
    {
        Bytes packet;
        EXPECT_FALSE(client.recv(packet, ms)) << "unexpected opcode " << opcodeOf(packet) << " block "
                                              << blockOf(packet);
    }
    std::string finalStatus()
    {
        stop();
        return _outcomes.empty() ? "" : _outcomes.back().message;
    }
};

// ---- downloads ----------------------------------------------------------------

TEST_F(WindowTransferTest, WindowOfOneIsLockStep)
{
    const Bytes file = pattern(1300);
    writeFile("one.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    const Bytes oack = openWindowed(client, 1, "one.bin", {{"windowsize", "1"}});
    EXPECT_NE(std::string::npos, oack.find(std::string("windowsize\0" "1\0", 13)));
    client.send(_port, ack(0));
    for (uint16_t block = 1; block <= 3; ++block) {
        expectBlocks(client, file, 512, block, 1);
        // The next block waits for this one's acknowledgement.
        if (block == 1) expectSilence(client, 200);
        client.send(_port, ack(block));
    }
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, WindowLargerThanTheFileSendsTheFileAtOnce)
{
    const Bytes file = pattern(3 * 512 + 100);
    writeFile("small.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "small.bin", {{"windowsize", "16"}});
    client.send(_port, ack(0));
    expectBlocks(client, file, 512, 1, 4);
    expectSilence(client, 200);
    CState state;
    ASSERT_TRUE(transfer(client, state));
    EXPECT_EQ(16u, state.windowsize);
    client.send(_port, ack(4));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, AcknowledgementInsideTheWindowRestartsAfterIt)
{
    const Bytes file = pattern(10 * 512 + 17);
    writeFile("mid.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "mid.bin", {{"windowsize", "4"}});
    client.send(_port, ack(0));
    expectBlocks(client, file, 512, 1, 4);
    // Block 3 was lost: the client acknowledges 2 and the window starts at 3.
    client.send(_port, ack(2));
    expectBlocks(client, file, 512, 3, 4);
    client.send(_port, ack(6));
    expectBlocks(client, file, 512, 7, 4);
    // The last block, short, was lost: acknowledging 10 brings it again.
    client.send(_port, ack(10));
    expectBlocks(client, file, 512, 11, 1);
    expectSilence(client, 200);
    client.send(_port, ack(11));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, DuplicatedAcknowledgementsSendNothing)
{
    const Bytes file = pattern(9 * 512);
    writeFile("dup.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "dup.bin", {{"windowsize", "4"}, {"blksize", "512"}});
    client.send(_port, ack(0));
    expectBlocks(client, file, 512, 1, 4);
    client.send(_port, ack(0));
    expectSilence(client, 200);
    client.send(_port, ack(4));
    expectBlocks(client, file, 512, 5, 4);
    // Every copy of an acknowledgement already had, and one of a block not
    // sent yet, is dropped.
    for (uint16_t stale : {4, 4, 3, 9, 12}) client.send(_port, ack(stale));
    expectSilence(client, 300);
    EXPECT_EQ(6u, ignored());
    client.send(_port, ack(8));
    // 9 * 512 bytes end with an empty block 10.
    expectBlocks(client, file, 512, 9, 2);
    client.send(_port, ack(10));
    client.send(_port, ack(10));
    EXPECT_TRUE(waitGone(client, 2000));
    expectSilence(client, 200);
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, LastBlockEmptyOrShortEndsTheWindowAndOnlyItsAcknowledgementEnds)
{
    const Bytes file = pattern(4 * 512);
    writeFile("even.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "even.bin", {{"windowsize", "8"}});
    client.send(_port, ack(0));
    expectBlocks(client, file, 512, 1, 5);
    expectSilence(client, 200);
    // Acknowledging block 4 only: the empty block goes out again.
    client.send(_port, ack(4));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(data(5, ""), packet);
    CState state;
    ASSERT_TRUE(transfer(client, state));
    client.send(_port, ack(5));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, TimeoutSendsTheWindowAgainFromItsFirstUnacknowledgedBlock)
{
    const Bytes file = pattern(6 * 512 + 1);
    writeFile("late.bin", file);
    start({{"tftp.timeout", "200ms"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "late.bin", {{"windowsize", "4"}});
    client.send(_port, ack(0));
    expectBlocks(client, file, 512, 1, 4);
    // No acknowledgement: the whole window comes again.
    expectBlocks(client, file, 512, 1, 4);
    client.send(_port, ack(4));
    // The rest of the file, then the short last block is lost twice.
    expectBlocks(client, file, 512, 5, 3);
    expectBlocks(client, file, 512, 5, 3);
    client.send(_port, ack(6));
    expectBlocks(client, file, 512, 7, 1);
    client.send(_port, ack(7));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, BlockNumbersRollOverInsideAWindow)
{
    // 65540 blocks of 8 bytes, the last one short: block 65536 goes out as
    // block 0 in the middle of a window.
    const size_t blksize = 8;
    const uint64_t blocks = 65540;
    const Bytes file = pattern((blocks - 1) * blksize + 3);
    writeFile("wrap.bin", file);
    start({{"tftp.timeout", "2s"}});
    recordOutcomes();
    CClient client;
    openWindowed(client, 1, "wrap.bin", {{"windowsize", "64"}, {"blksize", "8"}});
    client.send(_port, ack(0));
    uint64_t first = 1;
    // Whole windows up to the one that holds 65500.
    for (; first + 64 <= 65500; first += 64) {
        for (uint64_t index = first; index < first + 64; ++index) {
            Bytes packet;
            ASSERT_TRUE(client.recv(packet, 2000)) << index;
            ASSERT_EQ(static_cast<uint16_t>(index), blockOf(packet));
        }
        client.send(_port, ack(static_cast<uint16_t>(first + 63)));
    }
    expectBlocks(client, file, blksize, first, 64);
    // Acknowledged inside that window: the next runs from 65501 over 65535,
    // 0 and on to the last block (number 4).
    client.send(_port, ack(65500));
    expectBlocks(client, file, blksize, 65501, blocks - 65500);
    expectSilence(client, 200);
    // Acknowledged inside again, past the rollover.
    client.send(_port, ack(1));
    expectBlocks(client, file, blksize, 65538, 3);
    client.send(_port, ack(static_cast<uint16_t>(blocks)));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_EQ("success", finalStatus());
}

TEST_F(WindowTransferTest, WithoutTheOptionOrSwitchedOffTheDownloadIsLockStep)
{
    const Bytes file = pattern(1500);
    writeFile("plain.bin", file);
    start({{"tftp.allow_windowsize_option", "false"}});
    CClient client;
    // The window alone is not acknowledged: no OACK, block 1 at once.
    client.send(_requestPort, request(1, "plain.bin", "octet", {{"windowsize", "8"}}));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000, &_port));
    ASSERT_EQ(data(1, file.substr(0, 512)), packet);
    expectSilence(client, 200);
    client.send(_port, ack(1));
    expectBlocks(client, file, 512, 2, 1);
    expectSilence(client, 200);
}

TEST_F(WindowTransferTest, GrantedWindowIsBoundedAndShownInTheTransferRecord)
{
    writeFile("big.bin", pattern(100 * 512));
    start({{"tftp.max_windowsize", "6"}});
    CClient client;
    const Bytes oack = openWindowed(client, 1, "big.bin", {{"windowsize", "50"}});
    EXPECT_NE(std::string::npos, oack.find(std::string("windowsize\0" "6\0", 13)));
    CState state;
    ASSERT_TRUE(transfer(client, state));
    EXPECT_EQ("6", state.sm().get_string("windowsize"));
    client.send(_port, ack(0));
    expectBlocks(client, pattern(100 * 512), 512, 1, 6);
    expectSilence(client, 200);
}

// ---- uploads ------------------------------------------------------------------

TEST_F(WindowTransferTest, UploadAcknowledgesEachWindowItsLastBlockAndAGapOnce)
{
    start({{"tftp.timeout", "1s"}});
    recordOutcomes();
    const Bytes file = pattern(9 * 512 + 40);
    auto block = [&file](uint16_t n) { return data(n, file.substr((n - 1) * 512u, 512)); };
    CClient client;
    openWindowed(client, 2, "up.bin", {{"windowsize", "4"}});
    for (uint16_t n = 1; n <= 3; ++n) client.send(_port, block(n));
    // A copy of a block of the window in progress is no lost acknowledgement.
    client.send(_port, block(3));
    expectSilence(client, 200);
    client.send(_port, block(4));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(4), packet);
    expectSilence(client, 100);

    // Block 6 is lost: 7 is acknowledged as 5 at once, 8 brings nothing more.
    client.send(_port, block(5));
    client.send(_port, block(7));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(5), packet);
    client.send(_port, block(8));
    expectSilence(client, 200);

    // The client starts again after 5.
    for (uint16_t n = 6; n <= 9; ++n) client.send(_port, block(n));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(9), packet);
    // The short last block is acknowledged at once, a window or not.
    client.send(_port, block(10));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(10), packet);
    EXPECT_TRUE(waitGone(client, 4000));
    EXPECT_EQ("success", finalStatus());
    EXPECT_EQ(file, readFile("up.bin"));
}

TEST_F(WindowTransferTest, UploadWhoseAcknowledgementIsLostIsAcknowledgedAgain)
{
    start({{"tftp.timeout", "1s"}});
    const Bytes file = pattern(5 * 512 + 1);
    auto block = [&file](uint16_t n) { return data(n, file.substr((n - 1) * 512u, 512)); };
    CClient client;
    openWindowed(client, 2, "again.bin", {{"windowsize", "4"}});
    for (uint16_t n = 1; n <= 4; ++n) client.send(_port, block(n));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    ASSERT_EQ(ack(4), packet);
    // The acknowledgement did not arrive: the client sends the window again;
    // the blocks before the last are late, the last one is answered.
    for (uint16_t n = 1; n <= 4; ++n) client.send(_port, block(n));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(4), packet);
    expectSilence(client, 200);
    client.send(_port, block(5));
    client.send(_port, block(6));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(6), packet);
    EXPECT_TRUE(waitGone(client, 4000));
    EXPECT_EQ(file, readFile("again.bin"));
}

} // namespace
