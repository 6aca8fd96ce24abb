#include "client_transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using loadgen::CClientTransfer;
using loadgen::CSourceSet;
using loadgen::CTftpWire;
using Step = CClientTransfer::Step;

namespace {
const uint16_t kServer = 40000;

CSourceSet sources(size_t size)
{
    CSourceSet set;
    set.addSynthetic("f.bin", size, 7);
    return set;
}

// Feeds one datagram built by `build` into the transfer.
template <typename Build>
Step feed(CClientTransfer& transfer, Build build, uint16_t port = kServer)
{
    std::vector<uint8_t> out;
    build(out);
    return transfer.receive(out.data(), out.size(), port);
}

Step data(CClientTransfer& transfer, const CSourceSet::File& file, uint16_t block, size_t offset, size_t count,
          uint16_t port = kServer)
{
    return feed(
        transfer, [&](std::vector<uint8_t>& out) { CTftpWire::dataPacket(out, block, file.bytes.data() + offset, count); },
        port);
}

Step ack(CClientTransfer& transfer, uint16_t block)
{
    return feed(transfer, [&](std::vector<uint8_t>& out) { CTftpWire::ackPacket(out, block); });
}

Step oack(CClientTransfer& transfer, const CTftpWire::Options& options)
{
    return feed(transfer, [&](std::vector<uint8_t>& out) { CTftpWire::oackPacket(out, options); });
}

// The ACK block number the transfer wants to send, or -1.
int ackedBlock(const CClientTransfer& transfer)
{
    const CTftpWire::Parsed parsed = CTftpWire::parse(transfer.packet().data(), transfer.packet().size());
    return parsed.valid && parsed.op == CTftpWire::ack ? parsed.block : -1;
}
} // namespace

TEST(CClientTransferDownload, ReceivesChecksAndAcknowledgesEveryBlock)
{
    const CSourceSet set = sources(1300);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer transfer(file, file.name, CClientTransfer::Settings());
    ASSERT_EQ(transfer.start(), Step::send);
    EXPECT_EQ(transfer.packet()[1], CTftpWire::rrq);
    EXPECT_EQ(transfer.serverPort(), 0);

    EXPECT_EQ(data(transfer, file, 1, 0, 512), Step::send);
    EXPECT_EQ(transfer.serverPort(), kServer);
    EXPECT_EQ(ackedBlock(transfer), 1);
    EXPECT_EQ(data(transfer, file, 2, 512, 512), Step::send);
    EXPECT_EQ(data(transfer, file, 3, 1024, 276), Step::done);
    EXPECT_EQ(ackedBlock(transfer), 3);  // the final ACK still goes out
    EXPECT_TRUE(transfer.finished());
    EXPECT_FALSE(transfer.failed());
    EXPECT_EQ(transfer.bytesTransferred(), 1300u);
}

TEST(CClientTransferDownload, FailsOnWrongBytesOrWrongLength)
{
    const CSourceSet set = sources(600);
    const CSourceSet::File& file = set.at(0);
    {
        CClientTransfer transfer(file, file.name, CClientTransfer::Settings());
        transfer.start();
        std::vector<uint8_t> block(file.bytes.begin(), file.bytes.begin() + 512);
        block[100] ^= 1;
        EXPECT_EQ(feed(transfer, [&](std::vector<uint8_t>& out) { CTftpWire::dataPacket(out, 1, block.data(), 512); }),
                  Step::failed);
        EXPECT_NE(transfer.failure().find("offset 0"), std::string::npos) << transfer.failure();
    }
    {
        // The server stops early: a short block at the wrong place.
        CClientTransfer transfer(file, file.name, CClientTransfer::Settings());
        transfer.start();
        data(transfer, file, 1, 0, 512);
        EXPECT_EQ(data(transfer, file, 2, 512, 10), Step::failed);
        EXPECT_NE(transfer.failure().find("522"), std::string::npos) << transfer.failure();
    }
    {
        // More than a block of data.
        const CSourceSet big = sources(2000);
        CClientTransfer transfer(big.at(0), "f.bin", CClientTransfer::Settings());
        transfer.start();
        EXPECT_EQ(data(transfer, big.at(0), 1, 0, 513), Step::failed);
    }
}

TEST(CClientTransferDownload, AWholeNumberOfBlocksEndsWithAnEmptyBlock)
{
    const CSourceSet set = sources(1024);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer transfer(file, file.name, CClientTransfer::Settings());
    transfer.start();
    EXPECT_EQ(data(transfer, file, 1, 0, 512), Step::send);
    EXPECT_EQ(data(transfer, file, 2, 512, 512), Step::send);
    EXPECT_FALSE(transfer.finished());
    EXPECT_EQ(data(transfer, file, 3, 1024, 0), Step::done);
}

TEST(CClientTransferDownload, IgnoresOtherPortsAndRepeatsAckForDuplicates)
{
    const CSourceSet set = sources(1500);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer transfer(file, file.name, CClientTransfer::Settings());
    transfer.start();
    data(transfer, file, 1, 0, 512);
    // Another server port is another transfer: not ours.
    EXPECT_EQ(data(transfer, file, 2, 512, 512, kServer + 1), Step::none);
    // The server did not see ACK 1 and sends block 1 again.
    EXPECT_EQ(data(transfer, file, 1, 0, 512), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 1);
    EXPECT_EQ(transfer.retransmits(), 1u);
    // A block from the future is dropped.
    EXPECT_EQ(data(transfer, file, 5, 512, 512), Step::none);
    EXPECT_EQ(data(transfer, file, 2, 512, 512), Step::send);
    EXPECT_EQ(data(transfer, file, 3, 1024, 476), Step::done);
}

TEST(CClientTransferDownload, BlockNumbersWrapAfter65535)
{
    CClientTransfer::Settings settings;
    settings.optionBlksize = true;
    settings.blksize = 8;
    const size_t blocks = 65540;
    const CSourceSet set = sources(blocks * 8 + 3);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer transfer(file, file.name, settings);
    transfer.start();
    ASSERT_EQ(oack(transfer, {{"blksize", "8"}}), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 0);
    for (size_t i = 0; i < blocks; ++i)
        ASSERT_EQ(data(transfer, file, static_cast<uint16_t>(i + 1), i * 8, 8), Step::send) << "block " << i + 1;
    EXPECT_EQ(ackedBlock(transfer), static_cast<int>(blocks % 65536));
    EXPECT_EQ(data(transfer, file, static_cast<uint16_t>(blocks + 1), blocks * 8, 3), Step::done);
    EXPECT_FALSE(transfer.failed()) << transfer.failure();
}

TEST(CClientTransferDownload, ChecksTheOptionAcknowledgement)
{
    const CSourceSet set = sources(3000);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer::Settings settings;
    settings.optionBlksize = true;
    settings.optionTsize = true;
    settings.blksize = 1468;

    CClientTransfer good(file, file.name, settings);
    good.start();
    const CTftpWire::Parsed request = CTftpWire::parse(good.packet().data(), good.packet().size());
    EXPECT_FALSE(request.valid);  // a request is not a reply
    EXPECT_EQ(oack(good, {{"blksize", "1000"}, {"tsize", "3000"}}), Step::send);
    EXPECT_EQ(good.blksize(), 1000u);  // the server may lower the block size
    EXPECT_EQ(data(good, file, 1, 0, 1000), Step::send);

    struct Case {
        CTftpWire::Options options;
        const char* why;
    };
    const Case bad[] = {
        {{{"blksize", "2000"}}, "blksize above the one asked for"},
        {{{"blksize", "abc"}}, "blksize not a number"},
        {{{"tsize", "2999"}}, "tsize not the file's size"},
        {{{"windowsize", "4"}}, "option not asked for"},
    };
    for (const Case& c : bad) {
        CClientTransfer transfer(file, file.name, settings);
        transfer.start();
        EXPECT_EQ(oack(transfer, c.options), Step::failed) << c.why;
    }

    // Without options asked for, an OACK is a protocol error; a server that
    // ignores the options and sends block 1 at 512 bytes is fine.
    CClientTransfer plain(file, file.name, CClientTransfer::Settings());
    plain.start();
    EXPECT_EQ(oack(plain, {{"blksize", "512"}}), Step::failed);
    CClientTransfer ignored(file, file.name, settings);
    ignored.start();
    EXPECT_EQ(data(ignored, file, 1, 0, 512), Step::send);
    EXPECT_EQ(ignored.blksize(), 512u);
}

TEST(CClientTransferDownload, ServerErrorEndsTheTransfer)
{
    const CSourceSet set = sources(10);
    CClientTransfer transfer(set.at(0), "missing", CClientTransfer::Settings());
    transfer.start();
    EXPECT_EQ(feed(transfer, [](std::vector<uint8_t>& out) { CTftpWire::errorPacket(out, 1, "File not found"); }),
              Step::failed);
    EXPECT_EQ(transfer.failure(), "server error 1: File not found");
    EXPECT_EQ(ack(transfer, 1), Step::none);  // nothing after the end
}

TEST(CClientTransfer, RetransmitsOnTimeoutThenGivesUp)
{
    const CSourceSet set = sources(10);
    CClientTransfer::Settings settings;
    settings.maxRetries = 2;
    CClientTransfer transfer(set.at(0), "f.bin", settings);
    transfer.start();
    const std::vector<uint8_t> request = transfer.packet();
    EXPECT_EQ(transfer.timeout(), Step::send);
    EXPECT_EQ(transfer.packet(), request);  // the same datagram again
    EXPECT_EQ(transfer.timeout(), Step::send);
    EXPECT_EQ(transfer.timeout(), Step::failed);
    EXPECT_EQ(transfer.retransmits(), 2u);
    EXPECT_NE(transfer.failure().find("timeout"), std::string::npos);
}

TEST(CClientTransfer, AnAnswerResetsTheRetryCount)
{
    const CSourceSet set = sources(1000);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer::Settings settings;
    settings.maxRetries = 1;
    CClientTransfer transfer(file, file.name, settings);
    transfer.start();
    EXPECT_EQ(transfer.timeout(), Step::send);
    EXPECT_EQ(data(transfer, file, 1, 0, 512), Step::send);
    EXPECT_EQ(transfer.timeout(), Step::send);  // a fresh allowance for ACK 1
    EXPECT_EQ(ackedBlock(transfer), 1);
}

TEST(CClientTransferUpload, SendsBlocksAsTheyAreAcknowledged)
{
    const CSourceSet set = sources(1100);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer::Settings settings;
    settings.upload = true;
    CClientTransfer transfer(file, "up", settings);
    transfer.start();
    EXPECT_EQ(transfer.packet()[1], CTftpWire::wrq);

    ASSERT_EQ(ack(transfer, 0), Step::send);
    CTftpWire::Parsed sent = CTftpWire::parse(transfer.packet().data(), transfer.packet().size());
    EXPECT_EQ(sent.block, 1);
    EXPECT_EQ(sent.payloadLength, 512u);
    EXPECT_TRUE(CSourceSet::matches(file, 0, sent.payload, sent.payloadLength));

    EXPECT_EQ(ack(transfer, 0), Step::none);  // a late duplicate is not answered
    ASSERT_EQ(ack(transfer, 1), Step::send);
    ASSERT_EQ(ack(transfer, 2), Step::send);
    sent = CTftpWire::parse(transfer.packet().data(), transfer.packet().size());
    EXPECT_EQ(sent.block, 3);
    EXPECT_EQ(sent.payloadLength, 76u);
    EXPECT_TRUE(CSourceSet::matches(file, 1024, sent.payload, sent.payloadLength));
    EXPECT_EQ(ack(transfer, 3), Step::done);
    EXPECT_EQ(transfer.bytesTransferred(), 1100u);
}

TEST(CClientTransferUpload, NegotiatedBlockSizeAndEmptyLastBlock)
{
    const CSourceSet set = sources(2048);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer::Settings settings;
    settings.upload = true;
    settings.optionBlksize = true;
    settings.optionTsize = true;
    settings.blksize = 1024;
    CClientTransfer transfer(file, "up", settings);
    transfer.start();
    const std::string request(transfer.packet().begin(), transfer.packet().end());
    EXPECT_NE(request.find(std::string("tsize\0002048\0", 11)), std::string::npos);  // the upload's size

    ASSERT_EQ(oack(transfer, {{"blksize", "1024"}, {"tsize", "2048"}}), Step::send);
    ASSERT_EQ(ack(transfer, 1), Step::send);
    ASSERT_EQ(ack(transfer, 2), Step::send);
    const CTftpWire::Parsed last = CTftpWire::parse(transfer.packet().data(), transfer.packet().size());
    EXPECT_EQ(last.block, 3);
    EXPECT_EQ(last.payloadLength, 0u);
    EXPECT_EQ(ack(transfer, 3), Step::done);
}

TEST(CClientTransferUpload, DataFromTheServerIsAnError)
{
    const CSourceSet set = sources(10);
    CClientTransfer::Settings settings;
    settings.upload = true;
    CClientTransfer transfer(set.at(0), "up", settings);
    transfer.start();
    EXPECT_EQ(data(transfer, set.at(0), 1, 0, 10), Step::failed);
}

TEST(CClientTransferDownload, WindowIsAskedForAndAcknowledgedByItsLastBlock)
{
    const CSourceSet set = sources(6 * 512 + 10);
    const CSourceSet::File& file = set.at(0);
    CClientTransfer::Settings settings;
    settings.windowsize = 4;
    CClientTransfer transfer(file, file.name, settings);
    ASSERT_EQ(transfer.start(), Step::send);
    const std::string request(transfer.packet().begin(), transfer.packet().end());
    EXPECT_NE(request.find(std::string("windowsize\0" "4\0", 13)), std::string::npos);

    // The server may grant less than asked for, never more.
    ASSERT_EQ(oack(transfer, {{"windowsize", "3"}}), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 0);
    EXPECT_EQ(data(transfer, file, 1, 0, 512), Step::wait);
    EXPECT_EQ(data(transfer, file, 2, 512, 512), Step::wait);
    EXPECT_EQ(data(transfer, file, 3, 1024, 512), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 3);
    // Block 4 lost: 5 is answered with ACK 3 once, the block after it not.
    EXPECT_EQ(data(transfer, file, 5, 2048, 512), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 3);
    EXPECT_EQ(data(transfer, file, 6, 2560, 512), Step::none);
    // The server starts again at 4; a repeat of 4 inside the window is
    // no lost acknowledgement.
    EXPECT_EQ(data(transfer, file, 4, 1536, 512), Step::wait);
    EXPECT_EQ(data(transfer, file, 4, 1536, 512), Step::none);
    // A timeout inside the window acknowledges what came in order, and the
    // server's next window counts from there.
    EXPECT_EQ(transfer.timeout(), Step::send);
    EXPECT_EQ(ackedBlock(transfer), 4);
    EXPECT_EQ(data(transfer, file, 5, 2048, 512), Step::wait);
    EXPECT_EQ(data(transfer, file, 6, 2560, 512), Step::wait);
    EXPECT_EQ(data(transfer, file, 7, 3072, 10), Step::done);
    EXPECT_EQ(ackedBlock(transfer), 7);
    EXPECT_FALSE(transfer.failed());
    EXPECT_EQ(transfer.bytesTransferred(), file.bytes.size());

    CClientTransfer greedy(file, file.name, settings);
    greedy.start();
    EXPECT_EQ(oack(greedy, {{"windowsize", "5"}}), Step::failed);
}
