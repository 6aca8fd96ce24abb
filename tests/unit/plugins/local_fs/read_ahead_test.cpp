#include "local_fs/read_ahead.h"
#include "local_fs/read_ahead_budget.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using localfs::CReadAhead;
using localfs::CReadAheadBudget;

// A file in memory whose reads are counted.
struct CCountedFile {
    std::string bytes;
    int reads = 0;
    CReadAhead::reader_type reader()
    {
        return [this](char* buffer, osk::CFileOffset offset, size_t count) {
            ++reads;
            if (offset >= bytes.size()) return size_t(0);
            const size_t n = std::min(count, bytes.size() - static_cast<size_t>(offset));
            std::copy_n(bytes.data() + offset, n, buffer);
            return n;
        };
    }
};

std::string content(size_t size)
{
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>('A' + (i * 13 + i / 100) % 50);
    return out;
}

// Reads block after block of blksize through the read-ahead, filling it
// when it does not hold the block, as a download does; every block is read
// twice (a retransmission). Returns the bytes served.
std::string readAll(CReadAhead& ahead, CCountedFile& file, size_t blksize)
{
    std::string out;
    std::vector<char> block(blksize);
    for (osk::CFileOffset offset = 0;; offset += blksize) {
        for (int copy = 0; copy < 2; ++copy) {
            size_t got = 0;
            if (!ahead.serve(block.data(), offset, blksize, got)) {
                EXPECT_TRUE(ahead.fill(offset, blksize, file.reader()));
                EXPECT_TRUE(ahead.serve(block.data(), offset, blksize, got)) << offset;
            }
            if (copy == 0) out.append(block.data(), got);
            if (got < blksize) return out;
        }
    }
}

TEST(ReadAheadTest, OneReadServesTheBlocksOfAWholeBuffer)
{
    CReadAheadBudget budget(1 << 20);
    CCountedFile file{content(10000)};
    CReadAhead ahead(&budget, 4096);
    // 8 blocks of 500 bytes per read: 20 blocks and the empty last one.
    EXPECT_EQ(file.bytes, readAll(ahead, file, 500));
    EXPECT_EQ(3, file.reads);
    EXPECT_EQ(4000u, ahead.reserved());
    EXPECT_EQ(4000u, budget.used());
}

TEST(ReadAheadTest, TheEndOfTheFileIsWhereAShortReadStopped)
{
    CReadAheadBudget budget(1 << 20);
    CCountedFile file{content(1234)};
    CReadAhead ahead(&budget, 4096);
    std::vector<char> block(512);
    size_t got = 0;
    ASSERT_TRUE(ahead.fill(0, 512, file.reader()));
    // The short last block and, after it, nothing: no read needed for either.
    ASSERT_TRUE(ahead.serve(block.data(), 1024, 512, got));
    EXPECT_EQ(210u, got);
    EXPECT_EQ(file.bytes.substr(1024), std::string(block.data(), got));
    ASSERT_TRUE(ahead.serve(block.data(), 1234, 512, got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(1, file.reads);
    // A block before the bytes held, or past a full buffer, is not served.
    ASSERT_TRUE(ahead.fill(512, 512, file.reader()));
    EXPECT_FALSE(ahead.serve(block.data(), 0, 512, got));

    CCountedFile whole{content(4096)};
    CReadAhead exact(&budget, 4096);
    ASSERT_TRUE(exact.fill(0, 512, whole.reader()));
    EXPECT_FALSE(exact.serve(block.data(), 4096, 512, got));
    // The empty block after a file of whole buffers takes one more read.
    EXPECT_EQ(whole.bytes, readAll(exact, whole, 512));
}

TEST(ReadAheadTest, SpentBudgetMeansNoBufferUntilItIsGivenBack)
{
    CReadAheadBudget budget(6000);
    CCountedFile file{content(100000)};
    std::vector<char> block(1000);
    size_t got = 0;
    auto first = std::make_unique<CReadAhead>(&budget, 4000);
    ASSERT_TRUE(first->fill(0, 1000, file.reader()));
    CReadAhead second(&budget, 4000);
    EXPECT_FALSE(second.fill(0, 1000, file.reader()));
    EXPECT_FALSE(second.serve(block.data(), 0, 1000, got));
    EXPECT_EQ(1, file.reads);
    first.reset();
    EXPECT_EQ(0u, budget.used());
    EXPECT_TRUE(second.fill(0, 1000, file.reader()));
    EXPECT_EQ(4000u, budget.used());
    // Without a budget there is never a buffer.
    CReadAhead none(nullptr, 4000);
    EXPECT_FALSE(none.fill(0, 1000, file.reader()));
}

} // namespace
