#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "local_fs/netascii_decoder.h"
#include "local_fs/netascii_encoder.h"

namespace {

using localfs::CNetasciiDecoder;
using localfs::CNetasciiEncoder;

// Straightforward whole-buffer conversions to compare the block-wise ones with.
std::string referenceEncode(const std::string& data)
{
    std::string out;
    for (char c : data) {
        if (c == '\n')
            out += "\r\n";
        else if (c == '\r')
            out += std::string("\r\0", 2);
        else
            out += c;
    }
    return out;
}

// Fills download blocks of blockSize as a descriptor manager would, reading
// the file inChunk bytes at a time. Every block but the last must be full.
std::vector<std::string> encodeBlocks(const std::string& data, size_t blockSize, size_t inChunk)
{
    CNetasciiEncoder encoder;
    std::vector<std::string> blocks;
    size_t pos = 0;
    for (;;) {
        std::string block(blockSize, '?');
        size_t filled = 0;
        while (filled < blockSize) {
            const size_t avail = std::min(inChunk, data.size() - pos);
            size_t consumed = 0;
            const size_t n = encoder.encode(data.data() + pos, avail, &block[filled], blockSize - filled, consumed);
            pos += consumed;
            filled += n;
            if (n == 0 && consumed == 0) break;
        }
        block.resize(filled);
        blocks.push_back(block);
        if (filled < blockSize) break;
    }
    EXPECT_EQ(data.size(), pos);
    EXPECT_FALSE(encoder.pending());
    return blocks;
}

// Decodes an upload received in blocks of blockSize.
std::string decodeBlocks(const std::string& wire, size_t blockSize)
{
    CNetasciiDecoder decoder;
    std::string out;
    for (size_t pos = 0; pos < wire.size(); pos += blockSize) {
        const size_t len = std::min(blockSize, wire.size() - pos);
        std::string buffer(CNetasciiDecoder::maxDecodedSize(len), '?');
        buffer.resize(decoder.decode(wire.data() + pos, len, &buffer[0]));
        out += buffer;
    }
    char last = 0;
    if (decoder.finish(&last)) out += last;
    EXPECT_FALSE(decoder.pending());
    return out;
}

std::string joined(const std::vector<std::string>& blocks)
{
    std::string all;
    for (const auto& b : blocks) all += b;
    return all;
}

// Random bytes in which CR and LF are frequent, after `padding` plain bytes
// so that the line ends fall on every position relative to block boundaries.
std::string lineEndHeavy(std::mt19937& rng, size_t padding, size_t length)
{
    std::string data(padding, 'p');
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t i = 0; i < length; ++i) {
        const int p = pick(rng);
        data += p < 3 ? '\n' : p < 6 ? '\r' : p == 6 ? '\0' : static_cast<char>(byte(rng));
    }
    return data;
}

TEST(NetasciiTest, ExpansionThatDoesNotFitCarriesIntoTheNextBlock)
{
    const auto lf = encodeBlocks("1234567\n", 8, 8);
    ASSERT_EQ(2u, lf.size());
    EXPECT_EQ("1234567\r", lf[0]);
    EXPECT_EQ("\n", lf[1]);
    const auto cr = encodeBlocks("1234567\rz", 8, 3);
    ASSERT_EQ(2u, cr.size());
    EXPECT_EQ("1234567\r", cr[0]);
    EXPECT_EQ(std::string("\0z", 2), cr[1]);
    // Exactly one full block of netascii ends with an empty block.
    const auto exact = encodeBlocks("abcdef\n", 8, 100);
    ASSERT_EQ(2u, exact.size());
    EXPECT_EQ("abcdef\r\n", exact[0]);
    EXPECT_EQ("", exact[1]);
    // A carried byte is written even into a block of one byte.
    CNetasciiEncoder encoder;
    char out[1];
    size_t consumed = 0;
    EXPECT_EQ(1u, encoder.encode("\n", 1, out, 1, consumed));
    EXPECT_EQ(1u, consumed);
    EXPECT_TRUE(encoder.pending());
    EXPECT_EQ(1u, encoder.encode("", 0, out, 1, consumed));
    EXPECT_EQ('\n', out[0]);
    EXPECT_FALSE(encoder.pending());
    EXPECT_EQ(0u, encoder.encode("x", 1, out, 0, consumed));
    EXPECT_EQ(0u, consumed);
}

TEST(NetasciiTest, DecoderHoldsCarriageReturnAcrossBlocks)
{
    EXPECT_EQ("a\nb", decodeBlocks("a\r\nb", 2));
    EXPECT_EQ("a\rb", decodeBlocks(std::string("a\r\0b", 4), 2));
    EXPECT_EQ("ab\r", decodeBlocks("ab\r", 3));
    // Input that breaks the rules is kept, not dropped.
    EXPECT_EQ("a\rx", decodeBlocks("a\rx", 2));
    EXPECT_EQ("a\nb", decodeBlocks("a\nb", 1));
    EXPECT_EQ("\r\n", decodeBlocks("\r\r\n", 1));
    EXPECT_EQ(std::string("\r\0", 2), decodeBlocks(std::string("\r\0\0", 3), 1));
    CNetasciiDecoder decoder;
    char out[2];
    EXPECT_EQ(0u, decoder.decode("\r", 1, out));
    EXPECT_TRUE(decoder.pending());
    decoder.reset();
    EXPECT_EQ(0u, decoder.finish(out));
}

TEST(NetasciiTest, EncodedSizeCountsEveryExpansion)
{
    EXPECT_EQ(0u, CNetasciiEncoder::encodedSize("", 0));
    EXPECT_EQ(7u, CNetasciiEncoder::encodedSize("a\nb\rc", 5));
    const std::string nul("\0\0", 2);
    EXPECT_EQ(2u, CNetasciiEncoder::encodedSize(nul.data(), nul.size()));
}

class NetasciiBlockTest : public ::testing::TestWithParam<size_t> {};

TEST_P(NetasciiBlockTest, RoundTripWithLineEndsAtEveryBoundaryPosition)
{
    const size_t blockSize = GetParam();
    std::mt19937 rng(static_cast<unsigned>(blockSize));
    std::vector<size_t> paddings;
    if (blockSize <= 16) {
        for (size_t p = 0; p <= 2 * blockSize; ++p) paddings.push_back(p);
    } else {
        paddings = {0, 1, 2, blockSize - 2, blockSize - 1, blockSize, blockSize + 1, 2 * blockSize - 1};
    }
    for (size_t padding : paddings) {
        for (size_t inChunk : {size_t(1), size_t(7), blockSize, size_t(4096)}) {
            SCOPED_TRACE("padding " + std::to_string(padding) + " chunk " + std::to_string(inChunk));
            const std::string data = lineEndHeavy(rng, padding, 5 * blockSize + padding % 3);
            const std::vector<std::string> blocks = encodeBlocks(data, blockSize, inChunk);
            for (size_t i = 0; i + 1 < blocks.size(); ++i) ASSERT_EQ(blockSize, blocks[i].size()) << "block " << i;
            ASSERT_LT(blocks.back().size(), blockSize);
            const std::string wire = joined(blocks);
            ASSERT_EQ(referenceEncode(data), wire);
            ASSERT_EQ(CNetasciiEncoder::encodedSize(data.data(), data.size()), wire.size());
            ASSERT_EQ(data, decodeBlocks(wire, blockSize));
        }
    }
}

TEST_P(NetasciiBlockTest, DecoderSplitsEveryPairAtEveryPosition)
{
    // A CR LF or CR NUL pair cut by each block boundary in turn.
    const size_t blockSize = GetParam();
    for (const std::string& pair : {std::string("\r\n"), std::string("\r\0", 2)}) {
        for (size_t at = 0; at + 2 <= 2 * blockSize + 2; ++at) {
            const size_t rel = at % blockSize;
            if (rel > 1 && rel + 2 < blockSize) continue; // away from a boundary
            std::string wire(2 * blockSize + 2, 'w');
            wire.replace(at, 2, pair);
            std::string expected = wire;
            expected.replace(at, 2, pair[1] == '\n' ? "\n" : "\r");
            ASSERT_EQ(expected, decodeBlocks(wire, blockSize)) << "pair at " << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, NetasciiBlockTest, ::testing::Values(size_t(8), size_t(512), size_t(1468)));

} // namespace
