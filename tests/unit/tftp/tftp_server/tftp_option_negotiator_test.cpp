#include "tftp/tftp_server/tftp_option_negotiator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CConnReq request(CTFTPOpcode op)
{
    CConnReq r;
    r.operation(op);
    r.file("f");
    return r;
}

class TFTPOptionNegotiatorTest : public ::testing::Test {
protected:
    CTFTPOptionLimits limits;
    CTFTPPacket packet{512};

    CTFTPNegotiatedOptions run(const CConnReq& r) { return CTFTPOptionNegotiator(limits).negotiate(r, packet); }
    CTFTPNegotiatedOptions blk(uint64_t size)
    {
        CConnReq r = request(CTFTPOpcode::rrq);
        r.blksize(size);
        return run(r);
    }
    CTFTPNegotiatedOptions timeoutSec(uint64_t sec)
    {
        CConnReq r = request(CTFTPOpcode::rrq);
        r.timeout_sec(sec);
        return run(r);
    }
};

TEST_F(TFTPOptionNegotiatorTest, WindowsizeIsGrantedUpToTheConfiguredMaximum)
{
    auto window = [this](uint64_t blocks, bool octet = true) {
        CConnReq r = request(CTFTPOpcode::rrq);
        r.octet_mode(octet);
        r.windowsize(blocks);
        return run(r);
    };
    limits.max_windowsize = 32;
    const CTFTPNegotiatedOptions asked = window(8);
    EXPECT_TRUE(asked.optionWindowsize);
    EXPECT_EQ(8u, asked.windowsize);
    EXPECT_TRUE(asked.anyOption());
    EXPECT_EQ(8u, asked.oackRequest().windowsize());
    EXPECT_EQ(32u, window(1000).windowsize);
    EXPECT_EQ(1u, window(1).windowsize);

    // 0, a negative value (sign-extended) and more than 65535 are declined:
    // lock-step, no OACK entry, a note.
    limits.max_windowsize = 65535;
    EXPECT_EQ(65535u, window(65535).windowsize);
    for (uint64_t invalid : {uint64_t{0}, uint64_t{65536}, UINT64_MAX}) {
        const CTFTPNegotiatedOptions n = window(invalid);
        EXPECT_FALSE(n.optionWindowsize) << invalid;
        EXPECT_EQ(1u, n.windowsize) << invalid;
        EXPECT_FALSE(n.anyOption()) << invalid;
        ASSERT_EQ(1u, n.notes.size()) << invalid;
    }
    EXPECT_EQ("Requested window of -1 blocks is outside 1 to 65535; sending one block per acknowledgement.",
              window(UINT64_MAX).notes[0].message.formatted());

    // Netascii is served lock-step.
    const CTFTPNegotiatedOptions text = window(8, false);
    EXPECT_FALSE(text.optionWindowsize);
    EXPECT_EQ(1u, text.windowsize);
    ASSERT_EQ(1u, text.notes.size());

    // Switched off: the request is served lock-step.
    limits.allow_windowsize_option = false;
    const CTFTPNegotiatedOptions off = window(8);
    EXPECT_FALSE(off.optionWindowsize);
    EXPECT_EQ(1u, off.windowsize);
    EXPECT_TRUE(off.notes.empty());
}

TEST_F(TFTPOptionNegotiatorTest, NoOptionsMeansPlainTransfer)
{
    limits.timeout_usec = 4000000;
    const CTFTPNegotiatedOptions n = run(request(CTFTPOpcode::rrq));
    EXPECT_EQ(512u, n.blksize);
    EXPECT_EQ(4000000u, n.timeout_usec);
    EXPECT_FALSE(n.anyOption());
    EXPECT_TRUE(n.notes.empty());
    EXPECT_EQ(516u, packet.raw_len());
}

TEST_F(TFTPOptionNegotiatorTest, BlocksizeWithinCapacityIsUsedAsRequested)
{
    const CTFTPNegotiatedOptions n = blk(300);
    EXPECT_TRUE(n.optionBlocksize);
    EXPECT_EQ(300u, n.blksize);
    EXPECT_EQ(516u, packet.raw_len());
}

TEST_F(TFTPOptionNegotiatorTest, BlocksizeGrowsThePacketWhichNeverShrinks)
{
    EXPECT_EQ(1468u, blk(1468).blksize);
    EXPECT_EQ(1468u, packet.max_blksize());
    EXPECT_EQ(4096u, blk(4096).blksize);
    EXPECT_EQ(4096u, packet.max_blksize());
    EXPECT_EQ(1024u, blk(1024).blksize);
    EXPECT_EQ(4096u, packet.max_blksize());
}

TEST_F(TFTPOptionNegotiatorTest, BlocksizeBoundedByConfiguredAndProtocolMaximum)
{
    limits.max_blocksize = 2048;
    EXPECT_EQ(2048u, blk(9000).blksize);
    EXPECT_EQ(2048u, packet.max_blksize());
    EXPECT_TRUE(blk(9000).optionBlocksize);

    // -1 sent as text arrives as the largest unsigned value.
    EXPECT_EQ(2048u, blk(UINT64_MAX).blksize);

    limits.max_blocksize = 100000;
    EXPECT_EQ(65464u, blk(70000).blksize);
    EXPECT_EQ(65464u, packet.max_blksize());

    // A maximum below the packet's capacity still bounds the grant.
    limits.max_blocksize = 400;
    EXPECT_EQ(400u, blk(1000).blksize);
}

TEST_F(TFTPOptionNegotiatorTest, TooSmallBlocksizeIsDeclined)
{
    for (uint64_t tiny : {uint64_t(0), uint64_t(7)}) {
        const CTFTPNegotiatedOptions n = blk(tiny);
        EXPECT_FALSE(n.optionBlocksize) << tiny;
        EXPECT_EQ(512u, n.blksize) << tiny;
        ASSERT_EQ(1u, n.notes.size());
        EXPECT_EQ(osk::CException::debug, n.notes[0].severity);
        EXPECT_EQ("Requested block size of " + std::to_string(tiny) +
                      " bytes is below the minimum of 8 bytes; using the default block size of 512 bytes.",
                  n.notes[0].message.formatted());
        EXPECT_EQ("tftp_server", n.notes[0].message.module());
    }
    EXPECT_TRUE(blk(8).optionBlocksize);
    EXPECT_EQ(8u, blk(8).blksize);

    limits.min_blocksize = 600;
    EXPECT_FALSE(blk(599).optionBlocksize);
    EXPECT_EQ(512u, blk(599).blksize);
    EXPECT_EQ(600u, blk(600).blksize);
}

TEST_F(TFTPOptionNegotiatorTest, DisallowedBlocksizeIsIgnored)
{
    limits.allow_blocksize_option = false;
    const CTFTPNegotiatedOptions n = blk(4096);
    EXPECT_FALSE(n.optionBlocksize);
    EXPECT_EQ(512u, n.blksize);
    EXPECT_EQ(512u, packet.max_blksize());
}

TEST_F(TFTPOptionNegotiatorTest, TimeoutBounds)
{
    const CTFTPNegotiatedOptions inRange = timeoutSec(10);
    EXPECT_TRUE(inRange.optionTimeout);
    EXPECT_EQ(10000000u, inRange.timeout_usec);
    EXPECT_TRUE(inRange.notes.empty());

    limits.min_timeout_usec = 2000000;
    const CTFTPNegotiatedOptions low = timeoutSec(1);
    EXPECT_EQ(2000000u, low.timeout_usec);
    ASSERT_EQ(1u, low.notes.size());
    EXPECT_EQ(osk::CException::debug, low.notes[0].severity);
    EXPECT_EQ("Requested timeout of 1 seconds is too low; using minimum timeout of 2 seconds.",
              low.notes[0].message.formatted());

    limits.max_timeout_usec = 30000000;
    const CTFTPNegotiatedOptions high = timeoutSec(31);
    EXPECT_EQ(30000000u, high.timeout_usec);
    ASSERT_EQ(1u, high.notes.size());
    EXPECT_EQ("Requested timeout of 31 seconds is too high; using maximum timeout of 30 seconds.",
              high.notes[0].message.formatted());

    // A minimum above the maximum: the low bound is tested first.
    limits.min_timeout_usec = 60000000;
    EXPECT_EQ(60000000u, timeoutSec(45).timeout_usec);
}

TEST_F(TFTPOptionNegotiatorTest, TimeoutUsedButNotAcknowledgedWhenDisallowed)
{
    limits.allow_timeout_option = false;
    const CTFTPNegotiatedOptions n = timeoutSec(500);
    EXPECT_FALSE(n.optionTimeout);
    EXPECT_EQ(255000000u, n.timeout_usec);
    EXPECT_FALSE(n.anyOption());
}

TEST_F(TFTPOptionNegotiatorTest, TsizeForReadAndWrite)
{
    CConnReq wrq = request(CTFTPOpcode::wrq);
    wrq.tsize(123456);
    const CTFTPNegotiatedOptions up = run(wrq);
    EXPECT_TRUE(up.optionTsize);
    EXPECT_EQ(123456u, up.tsize);

    CConnReq rrq = request(CTFTPOpcode::rrq);
    rrq.tsize(0);
    const CTFTPNegotiatedOptions down = run(rrq);
    EXPECT_TRUE(down.optionTsize);
    EXPECT_EQ(0u, down.tsize); // the engine fills in the file size

    limits.allow_tsize_option = false;
    EXPECT_FALSE(run(wrq).optionTsize);
}

TEST_F(TFTPOptionNegotiatorTest, OackCarriesAcknowledgedOptionsOnly)
{
    CConnReq r = request(CTFTPOpcode::wrq);
    r.blksize(1468);
    r.timeout_sec(1000); // bounded to 255
    r.tsize(42);
    limits.allow_timeout_option = false;
    const CTFTPNegotiatedOptions n = run(r);
    const int len = packet.make_oack(n.oackRequest());
    const std::string expected("\0\6blksize\0" "1468\0tsize\0" "42\0", 24);
    ASSERT_EQ(static_cast<int>(expected.size()), len);
    EXPECT_EQ(expected, std::string(reinterpret_cast<const char*>(packet.raw_pkt()), expected.size()));

    limits.allow_timeout_option = true;
    CConnReq t = request(CTFTPOpcode::rrq);
    t.timeout_sec(1000);
    const CTFTPNegotiatedOptions m = run(t);
    const std::string timeoutOnly("\0\6timeout\0" "255\0", 14);
    ASSERT_EQ(14, packet.make_oack(m.oackRequest()));
    EXPECT_EQ(timeoutOnly, std::string(reinterpret_cast<const char*>(packet.raw_pkt()), 14));
}

} // namespace
