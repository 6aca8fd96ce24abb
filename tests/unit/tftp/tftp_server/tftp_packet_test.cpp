#include "tftp/tftp_server/tftp_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// A datagram held in a heap block of exactly its own size, so that any read
// past its end is an out-of-bounds access.
struct Datagram {
    explicit Datagram(const std::string& bytes) : bytes(bytes.begin(), bytes.end()) {}
    std::vector<unsigned char> bytes;
    CTFTPPacket packet() { return CTFTPPacket(bytes.data(), static_cast<int>(bytes.size())); }
};

CConnReq decode(const std::string& bytes, bool* ok = nullptr)
{
    Datagram d(bytes);
    CTFTPPacket p = d.packet();
    CConnReq req;
    const bool decoded = p.get_conn_req(req);
    if (ok) *ok = decoded;
    else EXPECT_TRUE(decoded);
    return req;
}

std::string sent(CTFTPPacket& p, int n)
{
    return std::string(reinterpret_cast<const char*>(p.raw_pkt()), static_cast<size_t>(n));
}

// ---- buffer -------------------------------------------------------------

TEST(TFTPPacketBufferTest, ResizeRefusesBelow512AndKeepsBuffer)
{
    CTFTPPacket p(512);
    ASSERT_TRUE(p.isValid());
    EXPECT_EQ(516u, p.raw_len());
    EXPECT_EQ(512u, p.max_blksize());
    EXPECT_EQ(4u, CTFTPPacket::header_len());
    EXPECT_EQ(p.raw_pkt() + 4, p.data());

    p.raw_pkt()[10] = 0x5a;
    const unsigned char* before = p.raw_pkt();
    EXPECT_FALSE(p.resize(511));
    EXPECT_EQ(before, p.raw_pkt());
    EXPECT_EQ(516u, p.raw_len());
    EXPECT_EQ(0x5a, p.raw_pkt()[10]);
    EXPECT_FALSE(p.resize(-1));

    ASSERT_TRUE(p.resize(1468));
    EXPECT_EQ(1472u, p.raw_len());
    EXPECT_EQ(1468u, p.max_blksize());
    for (uint32_t i = 0; i < p.raw_len(); ++i) ASSERT_EQ(0, p.raw_pkt()[i]);

    ASSERT_TRUE(p.resize(512));
    EXPECT_EQ(516u, p.raw_len());
}

TEST(TFTPPacketBufferTest, TooSmallOrWrappedNullIsInvalid)
{
    CTFTPPacket small(100);
    EXPECT_FALSE(small.isValid());
    EXPECT_EQ(nullptr, small.data());
    EXPECT_EQ(0, small.opcode());
    EXPECT_EQ(0, small.block());
    EXPECT_EQ(0, small.error_code());
    EXPECT_EQ("", small.filename());
    EXPECT_EQ("", small.message());
    EXPECT_EQ(0, small.make_ack(1));
    EXPECT_EQ(0, small.make_err(CTFTPErrorCode::disk_full, "x"));
    CConnReq req;
    EXPECT_FALSE(small.get_conn_req(req));
    EXPECT_FALSE(small.get_oack(req));

    CTFTPPacket wrappedNull(nullptr, 20);
    EXPECT_FALSE(wrappedNull.isValid());
}

TEST(TFTPPacketBufferTest, WrappedBufferIsNotReleased)
{
    unsigned char bytes[8] = {0, 4, 0x12, 0x34, 0, 0, 0, 0};
    {
        CTFTPPacket p(bytes, 4);
        EXPECT_EQ(CTFTPOpcode::ack, p.opcode());
        EXPECT_EQ(0x1234, p.block());
        // Growing replaces the wrapped bytes by an owned buffer.
        ASSERT_TRUE(p.resize(600));
        EXPECT_NE(bytes, p.raw_pkt());
    }
    EXPECT_EQ(0x12, bytes[2]);
}

// ---- field access -------------------------------------------------------

TEST(TFTPPacketFieldTest, OpcodeSevenOrMoreAndShortPacketsReadZero)
{
    unsigned char b[4] = {0, 7, 0, 1};
    EXPECT_EQ(0, CTFTPPacket(b, 4).opcode());
    b[1] = 6;
    EXPECT_EQ(CTFTPOpcode::oack, CTFTPPacket(b, 4).opcode());
    b[0] = 1; // 0x0106
    EXPECT_EQ(0, CTFTPPacket(b, 4).opcode());
    b[0] = 0;
    b[1] = 3;
    EXPECT_EQ(0, CTFTPPacket(b, 1).opcode());
    EXPECT_EQ(CTFTPOpcode::data, CTFTPPacket(b, 2).opcode());
    EXPECT_EQ(0, CTFTPPacket(b, 3).block());
    EXPECT_EQ(1, CTFTPPacket(b, 4).block());
    EXPECT_EQ(0, CTFTPPacket(b, 3).error_code());
}

TEST(TFTPPacketFieldTest, WritersStayInsideShortBuffers)
{
    std::vector<unsigned char> b(3, 0xee);
    CTFTPPacket p(b.data(), 3);
    p.opcode(CTFTPOpcode::data);
    p.block(0xffff); // needs 4 bytes: ignored
    EXPECT_EQ(0x00, b[0]);
    EXPECT_EQ(0x03, b[1]);
    EXPECT_EQ(0xee, b[2]);
    p.filename("abcdef"); // cut to fit with its zero
    EXPECT_EQ(0, b[2]);
    EXPECT_EQ("", p.filename());
}

TEST(TFTPPacketFieldTest, BlockNumbersAreBigEndian)
{
    CTFTPPacket p(512);
    p.opcode(CTFTPOpcode::data);
    p.block(0xabcd);
    EXPECT_EQ(0, p.raw_pkt()[0]);
    EXPECT_EQ(3, p.raw_pkt()[1]);
    EXPECT_EQ(0xab, p.raw_pkt()[2]);
    EXPECT_EQ(0xcd, p.raw_pkt()[3]);
    EXPECT_EQ(0xabcd, p.block());
    p.error_code(CTFTPErrorCode::no_error);
    EXPECT_EQ(255, p.error_code());
}

TEST(TFTPPacketFieldTest, StringsAreBoundedByTheBuffer)
{
    Datagram d("\0\5\0\1no terminator"s);
    CTFTPPacket p = d.packet();
    EXPECT_EQ("no terminator", p.message());
    EXPECT_EQ("", p.filename()); // offset 2 holds the zero high byte of the code
    Datagram name("\0\1unterminated"s);
    EXPECT_EQ("unterminated", name.packet().filename());

    CTFTPPacket big(512);
    big.filename("boot/pxelinux.0");
    EXPECT_EQ("boot/pxelinux.0", big.filename());
    big.message("Disk full.");
    EXPECT_EQ("Disk full.", big.message());
}

// ---- encoders -----------------------------------------------------------

TEST(TFTPPacketEncodeTest, Ack)
{
    CTFTPPacket p(512);
    ASSERT_EQ(4, p.make_ack(65535));
    EXPECT_EQ("\0\4\xff\xff"s, sent(p, 4));
}

TEST(TFTPPacketEncodeTest, ErrorPackets)
{
    CTFTPPacket p(512);
    std::memset(p.raw_pkt(), 'z', p.raw_len());
    ASSERT_EQ(4, p.make_err(CTFTPErrorCode::undefined, ""));
    EXPECT_EQ("\0\5\0\0"s, sent(p, 4));
    EXPECT_EQ(0, p.raw_pkt()[4]); // the buffer was wiped

    ASSERT_EQ(4 + 10 + 1, p.make_err(CTFTPErrorCode::file_not_found, "Not found."));
    EXPECT_EQ("\0\5\0\1Not found.\0"s, sent(p, 15));
    EXPECT_EQ("Not found.", p.message());
    EXPECT_EQ(1, p.error_code());

    // Too long for the buffer: cut so that the zero still fits.
    const std::string longText(2000, 'x');
    ASSERT_EQ(516, p.make_err(CTFTPErrorCode::access_denied, longText));
    EXPECT_EQ(0, p.raw_pkt()[515]);
    EXPECT_EQ(std::string(511, 'x'), p.message());
}

TEST(TFTPPacketEncodeTest, OackOrderAndSizes)
{
    CTFTPPacket p(512);
    CConnReq none;
    ASSERT_EQ(2, p.make_oack(none));
    EXPECT_EQ("\0\6"s, sent(p, 2));

    CConnReq all;
    all.timeout_usec(5900000); // whole seconds on the wire
    all.tsize(123456);
    all.blksize(1468);
    all.windowsize(16);
    const std::string expected = "\0\6blksize\0" "1468\0tsize\0" "123456\0timeout\0" "5\0windowsize\0" "16\0"s;
    ASSERT_EQ(static_cast<int>(expected.size()), p.make_oack(all));
    EXPECT_EQ(expected, sent(p, static_cast<int>(expected.size())));

    // Values are signed 32-bit numbers.
    CConnReq wide;
    wide.tsize(0x1'0000'0005ull);
    wide.blksize(UINT64_MAX);
    const std::string wideExpected = "\0\6blksize\0-1\0tsize\0" "5\0"s;
    ASSERT_EQ(static_cast<int>(wideExpected.size()), p.make_oack(wide));
    EXPECT_EQ(wideExpected, sent(p, static_cast<int>(wideExpected.size())));
}

TEST(TFTPPacketEncodeTest, RequestEncoderNeedsOpcode)
{
    CTFTPPacket p(512);
    CConnReq req;
    req.file("a.bin");
    req.octet_mode(true);
    EXPECT_EQ(0, p.set_conn_req(req));
    p.opcode(CTFTPOpcode::ack);
    EXPECT_EQ(0, p.set_conn_req(req));

    p.opcode(CTFTPOpcode::wrq);
    req.blksize(1024);
    req.tsize(99);
    req.timeout_sec(4);
    const std::string expected = "\0\2a.bin\0octet\0blksize\0" "1024\0timeout\0" "4\0tsize\0" "99\0"s;
    ASSERT_EQ(static_cast<int>(expected.size()), p.set_conn_req(req));
    EXPECT_EQ(expected, sent(p, static_cast<int>(expected.size())));

    CConnReq ascii;
    ascii.file("x");
    p.opcode(CTFTPOpcode::rrq);
    ASSERT_EQ(13, p.set_conn_req(ascii));
    EXPECT_EQ("\0\1x\0netascii\0"s, sent(p, 13));

    // A name that does not fit is refused rather than written past the end.
    ascii.file(std::string(600, 'n'));
    EXPECT_EQ(0, p.set_conn_req(ascii));
}

// ---- request decoder ----------------------------------------------------

TEST(TFTPPacketDecodeTest, RefusesShortAndNonRequests)
{
    bool ok = true;
    decode("\0\1"s, &ok);
    EXPECT_FALSE(ok);
    decode("\0\3f\0octet\0"s, &ok);
    EXPECT_FALSE(ok);
    decode("\1\1f\0octet\0"s, &ok);
    EXPECT_FALSE(ok);
    decode("\0\1\0"s, &ok);
    EXPECT_TRUE(ok);
}

TEST(TFTPPacketDecodeTest, PlainRequest)
{
    const CConnReq r = decode("\0\2Dir/File.BIN\0octet\0"s);
    EXPECT_EQ(CTFTPOpcode::wrq, r.operation());
    EXPECT_EQ("Dir/File.BIN", r.file());
    EXPECT_TRUE(r.octet_mode());
    EXPECT_FALSE(r.blksize_defined());
    EXPECT_FALSE(r.timeout_defined());
    EXPECT_FALSE(r.tsize_defined());
    EXPECT_EQ(512u, r.blksize());
    EXPECT_EQ(3u, r.timeout_sec());
}

TEST(TFTPPacketDecodeTest, LastByteIsForcedToZero)
{
    Datagram d("\0\1file\0octet\0blksize\0" "1024X"s);
    CTFTPPacket p = d.packet();
    CConnReq r;
    ASSERT_TRUE(p.get_conn_req(r));
    EXPECT_EQ(0, d.bytes.back());
    EXPECT_EQ(1024u, r.blksize());

    EXPECT_FALSE(decode("\0\1file\0netascii"s).octet_mode());
    // The name runs to the end: no mode at all means octet.
    const CConnReq noMode = decode("\0\1file.txt"s);
    EXPECT_EQ("file.tx", noMode.file());
    EXPECT_TRUE(noMode.octet_mode());
}

TEST(TFTPPacketDecodeTest, ModeSpellings)
{
    for (const char* m : {"netascii", "NETASCII", "NetAscii", "n", "N", "nonsense"})
        EXPECT_FALSE(decode("\0\1f\0"s + m + "\0"s).octet_mode()) << m;
    for (const char* m : {"octet", "OCTET", "binary", "mail", "", "ascii"})
        EXPECT_TRUE(decode("\0\1f\0"s + m + "\0"s).octet_mode()) << m;
}

TEST(TFTPPacketDecodeTest, NameKeepsCaseWhileModeAndOptionsFold)
{
    Datagram d("\0\1ABC\0OCTET\0TSIZE\0" "0\0"s);
    CTFTPPacket p = d.packet();
    CConnReq r;
    ASSERT_TRUE(p.get_conn_req(r));
    EXPECT_EQ("ABC", r.file());
    EXPECT_TRUE(r.tsize_defined());
    EXPECT_EQ("\0\1ABC\0octet\0tsize\0" "0\0"s, std::string(d.bytes.begin(), d.bytes.end()));
}

TEST(TFTPPacketDecodeTest, OptionNamesInAnyCase)
{
    for (const char* name : {"blksize", "BLKSIZE", "BlkSize"}) {
        const CConnReq r = decode("\0\1f\0octet\0"s + name + "\0" "1428\0"s);
        EXPECT_TRUE(r.blksize_defined()) << name;
        EXPECT_EQ(1428u, r.blksize()) << name;
    }
    const CConnReq r = decode("\0\1f\0octet\0TIMEOUT\0" "7\0Tsize\0" "0\0"s);
    EXPECT_EQ(7000000u, r.timeout_usec());
    EXPECT_TRUE(r.tsize_defined());
    EXPECT_EQ(0u, r.tsize());
}

TEST(TFTPPacketDecodeTest, OptionValues)
{
    auto blk = [](const std::string& value) {
        const CConnReq r = decode("\0\1f\0octet\0blksize\0"s + value + "\0"s);
        EXPECT_TRUE(r.blksize_defined()) << value;
        return r.blksize();
    };
    EXPECT_EQ(1024u, blk("1024"));
    EXPECT_EQ(1024u, blk("  +1024abc"));
    EXPECT_EQ(0u, blk("abc"));
    EXPECT_EQ(0u, blk(""));
    EXPECT_EQ(UINT64_MAX, blk("-1"));
    EXPECT_EQ(512u, blk("4294967808")); // 2^32 + 512 keeps its low 32 bits
    EXPECT_EQ(static_cast<uint64_t>(INT64_C(-2147483648)), blk("2147483648"));
}

TEST(TFTPPacketDecodeTest, WindowsizeIsReadInAnyCaseAndEncodedForClients)
{
    const CConnReq r = decode("\0\1f\0octet\0WindowSize\0" "32\0blksize\0" "1468\0"s);
    EXPECT_TRUE(r.windowsize_defined());
    EXPECT_EQ(32u, r.windowsize());
    EXPECT_EQ(1468u, r.blksize());
    EXPECT_FALSE(decode("\0\1f\0octet\0blksize\0" "1468\0"s).windowsize_defined());

    // A request carrying a window differs from the same request without one.
    CConnReq plain = r;
    plain.windowsize_defined(false);
    EXPECT_FALSE(plain.sameRequest(r));

    CTFTPPacket p(512);
    p.opcode(CTFTPOpcode::rrq);
    const int n = p.set_conn_req(r);
    ASSERT_GT(n, 0);
    EXPECT_EQ("\0\1f\0octet\0blksize\0" "1468\0windowsize\0" "32\0"s, sent(p, n));
}

TEST(TFTPPacketDecodeTest, FirstOfDuplicatedOptionsWins)
{
    const CConnReq r = decode("\0\1f\0octet\0blksize\0" "1000\0blksize\0" "2000\0"s);
    EXPECT_EQ(1000u, r.blksize());
}

TEST(TFTPPacketDecodeTest, PrefixMatchAndValuesAreCandidates)
{
    EXPECT_EQ(800u, decode("\0\1f\0octet\0blksizeXYZ\0" "800\0"s).blksize());
    // "tsize" as the value of an unknown option is taken as the option, and
    // its own value is then the string "blksize".
    const CConnReq r = decode("\0\1f\0octet\0foo\0tsize\0blksize\0" "900\0"s);
    EXPECT_TRUE(r.tsize_defined());
    EXPECT_EQ(0u, r.tsize());
    EXPECT_EQ(900u, r.blksize());
    // Unknown options are ignored.
    const CConnReq w = decode("\0\1f\0octet\0windowsize\0" "8\0"s);
    EXPECT_FALSE(w.blksize_defined() || w.timeout_defined() || w.tsize_defined());
}

TEST(TFTPPacketDecodeTest, EmptyStringBudget)
{
    auto withEmpties = [](int n) {
        return decode("\0\1f\0octet\0"s + std::string(static_cast<size_t>(n), '\0') + "blksize\0" "600\0"s);
    };
    EXPECT_TRUE(withEmpties(5).blksize_defined());
    EXPECT_FALSE(withEmpties(6).blksize_defined());
    // The budget is shared over the whole search, not per gap.
    const CConnReq r = decode("\0\1f\0octet\0\0\0\0x\0\0\0\0blksize\0" "600\0"s);
    EXPECT_FALSE(r.blksize_defined());
}

TEST(TFTPPacketDecodeTest, NameMustEndBeforeLastByte)
{
    // Option name alone at the end, its zero the last byte: found, no value.
    const CConnReq atEnd = decode("\0\1f\0octet\0tsize\0"s);
    EXPECT_TRUE(atEnd.tsize_defined());
    EXPECT_EQ(0u, atEnd.tsize());
    // The final letter is overwritten: no longer the option.
    EXPECT_FALSE(decode("\0\1f\0octet\0tsize"s).tsize_defined());
}

TEST(TFTPPacketDecodeTest, ReceivedLengthBoundsTheDecoder)
{
    CTFTPPacket p(512);
    const std::string dgram = "\0\1f\0octet\0blksize\0" "1024"s; // unterminated
    std::memcpy(p.raw_pkt(), dgram.data(), dgram.size());
    // Stale bytes after the datagram must not extend the value.
    std::memcpy(p.raw_pkt() + dgram.size(), "99\0tsize\0" "5\0", 11);
    CConnReq r;
    ASSERT_TRUE(p.get_conn_req(r, static_cast<uint32_t>(dgram.size())));
    EXPECT_EQ(102u, r.blksize());
    EXPECT_FALSE(r.tsize_defined());
    EXPECT_EQ('9', p.raw_pkt()[dgram.size()]);
}

TEST(TFTPPacketDecodeTest, DecoderResetsFlagsOfReusedRequest)
{
    CConnReq r;
    r.blksize(9000);
    r.timeout_sec(9);
    r.tsize(9);
    r = decode("\0\1f\0netascii\0"s);
    EXPECT_FALSE(r.blksize_defined() || r.timeout_defined() || r.tsize_defined());
}

// ---- OACK decoder -------------------------------------------------------

TEST(TFTPPacketOackTest, DecodesOptions)
{
    Datagram d("\0\6blksize\0" "1432\0TIMEOUT\0" "2\0tsize\0" "77\0"s);
    CTFTPPacket p = d.packet();
    CConnReq r;
    r.blksize(1);
    ASSERT_TRUE(p.get_oack(r));
    EXPECT_EQ(1432u, r.blksize());
    EXPECT_EQ(2u, r.timeout_sec());
    EXPECT_EQ(77u, r.tsize());

    Datagram onlyTsize("\0\6tsize\0" "5\0"s);
    CTFTPPacket q = onlyTsize.packet();
    ASSERT_TRUE(q.get_oack(r));
    EXPECT_FALSE(r.blksize_defined());
    EXPECT_FALSE(r.timeout_defined());
    EXPECT_TRUE(r.tsize_defined());

    Datagram notOack("\0\1tsize\0" "5\0"s);
    CTFTPPacket n = notOack.packet();
    EXPECT_FALSE(n.get_oack(r));
    Datagram tooShort("\0\6"s);
    CTFTPPacket s = tooShort.packet();
    EXPECT_FALSE(s.get_oack(r));
}

TEST(TFTPPacketOackTest, EncodedOackDecodesBack)
{
    CTFTPPacket p(512);
    CConnReq out;
    out.blksize(8192);
    out.tsize(1 << 30);
    out.timeout_sec(255);
    out.windowsize(65535);
    const int n = p.make_oack(out);
    CConnReq in;
    ASSERT_TRUE(p.get_oack(in, static_cast<uint32_t>(n)));
    EXPECT_TRUE(out.sameRequest(in)) << in.string();
}

} // namespace
