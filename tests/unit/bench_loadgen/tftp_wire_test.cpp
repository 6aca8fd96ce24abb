#include "tftp_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using loadgen::CTftpWire;

namespace {
std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
} // namespace

TEST(CTftpWire, BuildsRequestsWithOptionsInOrder)
{
    std::vector<uint8_t> out;
    const size_t length = CTftpWire::request(out, CTftpWire::rrq, "a/b.bin", {{"blksize", "1468"}, {"tsize", "0"}});
    EXPECT_EQ(length, out.size());
    EXPECT_EQ(out, bytes(std::string("\0\1a/b.bin\0octet\0blksize\0001468\0tsize\0000\0", 37)));

    CTftpWire::request(out, CTftpWire::wrq, "x", {});
    EXPECT_EQ(out, bytes(std::string("\0\2x\0octet\0", 10)));
}

TEST(CTftpWire, BuildsAckDataAndErrorWithBigEndianFields)
{
    std::vector<uint8_t> out;
    CTftpWire::ackPacket(out, 0x1234);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 4, 0x12, 0x34}));

    const uint8_t payload[] = {9, 8, 7};
    CTftpWire::dataPacket(out, 65535, payload, 3);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 3, 0xFF, 0xFF, 9, 8, 7}));
    CTftpWire::dataPacket(out, 2, nullptr, 0);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 3, 0, 2}));

    CTftpWire::errorPacket(out, 1, "nope");
    EXPECT_EQ(out, bytes(std::string("\0\5\0\1nope\0", 9)));
}

TEST(CTftpWire, ParsesWhatItBuilds)
{
    std::vector<uint8_t> out;
    const uint8_t payload[] = {1, 2, 3, 4, 5};
    CTftpWire::dataPacket(out, 7, payload, 5);
    CTftpWire::Parsed data = CTftpWire::parse(out.data(), out.size());
    ASSERT_TRUE(data.valid);
    EXPECT_EQ(data.op, CTftpWire::data);
    EXPECT_EQ(data.block, 7);
    ASSERT_EQ(data.payloadLength, 5u);
    EXPECT_EQ(data.payload[4], 5);

    CTftpWire::oackPacket(out, {{"BlkSize", "1024"}, {"tsize", "99"}});
    CTftpWire::Parsed oack = CTftpWire::parse(out.data(), out.size());
    ASSERT_TRUE(oack.valid);
    ASSERT_EQ(oack.options.size(), 2u);
    EXPECT_EQ(oack.options[0].first, "blksize");  // names compare in lower case
    EXPECT_EQ(oack.options[0].second, "1024");
    EXPECT_EQ(oack.options[1].second, "99");

    CTftpWire::errorPacket(out, 2, "Access violation");
    CTftpWire::Parsed error = CTftpWire::parse(out.data(), out.size());
    ASSERT_TRUE(error.valid);
    EXPECT_EQ(error.errorCode, 2);
    EXPECT_EQ(error.text, "Access violation");
}

TEST(CTftpWire, TakesAnErrorTextWithoutTerminator)
{
    const std::vector<uint8_t> raw = bytes(std::string("\0\5\0\0gone", 8));
    const CTftpWire::Parsed error = CTftpWire::parse(raw.data(), raw.size());
    ASSERT_TRUE(error.valid);
    EXPECT_EQ(error.text, "gone");
}

TEST(CTftpWire, RejectsMalformedDatagrams)
{
    const std::vector<std::vector<uint8_t>> bad = {
        {},                                         // empty
        {0},                                        // half an opcode
        {0, 3, 0},                                  // DATA without a whole block number
        {0, 4},                                     // ACK without block number
        {0, 5, 0},                                  // ERROR without code
        {0, 9, 0, 1},                               // unknown opcode
        bytes(std::string("\0\6blksize\0", 10)),    // option without value
        bytes(std::string("\0\6blksize\0001", 11)), // value without terminator
    };
    for (const auto& raw : bad) {
        const CTftpWire::Parsed parsed = CTftpWire::parse(raw.data(), raw.size());
        EXPECT_FALSE(parsed.valid) << "datagram of " << raw.size() << " bytes";
        EXPECT_FALSE(parsed.problem.empty());
    }
    // An OACK with no options at all is well-formed (the client decides).
    const std::vector<uint8_t> empty = {0, 6};
    EXPECT_TRUE(CTftpWire::parse(empty.data(), empty.size()).valid);
}

TEST(CTftpWire, ParsesRequestsAndRefusesBrokenOnes)
{
    std::vector<uint8_t> out;
    CTftpWire::request(out, CTftpWire::wrq, "up.bin", {{"TSIZE", "5"}});
    uint16_t op = 0;
    std::string file;
    CTftpWire::Options options;
    ASSERT_TRUE(CTftpWire::parseRequest(out.data(), out.size(), op, file, options));
    EXPECT_EQ(op, CTftpWire::wrq);
    EXPECT_EQ(file, "up.bin");
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0], (std::pair<std::string, std::string>("tsize", "5")));

    const std::vector<uint8_t> noMode = bytes(std::string("\0\1file\0", 7));
    EXPECT_FALSE(CTftpWire::parseRequest(noMode.data(), noMode.size(), op, file, options));
    const std::vector<uint8_t> unterminated = bytes(std::string("\0\1file\0octet", 12));
    EXPECT_FALSE(CTftpWire::parseRequest(unterminated.data(), unterminated.size(), op, file, options));
    const std::vector<uint8_t> ack = {0, 4, 0, 1};
    EXPECT_FALSE(CTftpWire::parseRequest(ack.data(), ack.size(), op, file, options));
}
