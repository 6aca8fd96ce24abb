#include "local_fs/small_file_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CSmallFileCache;
using localfs_test::TempDir;
using localfs_test::writeFile;

// A root directory with its descriptor, as the manager holds it.
class SmallFileCacheTest : public ::testing::Test {
protected:
    SmallFileCacheTest() : rootFd(::open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~SmallFileCacheTest() override { ::close(rootFd); }

    struct stat statusOf(const std::string& name) const
    {
        struct stat status;
        EXPECT_EQ(0, ::fstatat(rootFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW)) << name;
        return status;
    }
    // Writes name and keeps its content in cache as a download would.
    CSmallFileCache::content_ptr keepFile(CSmallFileCache& cache, const std::string& name, const std::string& text)
    {
        writeFile(tmp / name, text);
        auto content = std::make_shared<const std::string>(text);
        cache.keep(tmp.path(), name, statusOf(name), content);
        return content;
    }
    CSmallFileCache::content_ptr find(CSmallFileCache& cache, const std::string& name)
    {
        return cache.find(tmp.path(), rootFd, name);
    }

    TempDir tmp;
    int rootFd;
};

TEST_F(SmallFileCacheTest, OnlySettledSmallRegularFilesAreKept)
{
    writeFile(tmp / "small.cfg", "x");
    const struct stat small = statusOf("small.cfg");
    // Changed within the last second or so: a second change in the same
    // tick would keep the file's times.
    EXPECT_FALSE(CSmallFileCache::keepable(small, small.st_ctim.tv_sec));
    EXPECT_FALSE(CSmallFileCache::keepable(small, small.st_ctim.tv_sec + 1));
    EXPECT_TRUE(CSmallFileCache::keepable(small, small.st_ctim.tv_sec + 2));

    writeFile(tmp / "limit.bin", std::string(CSmallFileCache::kMaxFileBytes, 'a'));
    writeFile(tmp / "large.bin", std::string(CSmallFileCache::kMaxFileBytes + 1, 'a'));
    const time_t later = small.st_ctim.tv_sec + 100;
    EXPECT_TRUE(CSmallFileCache::keepable(statusOf("limit.bin"), later));
    EXPECT_FALSE(CSmallFileCache::keepable(statusOf("large.bin"), later));
    ASSERT_EQ(0, ::mkdir((tmp / "dir").c_str(), 0700));
    EXPECT_FALSE(CSmallFileCache::keepable(statusOf("dir"), later));
}

// Every way the name can come to lead to other bytes ends the copy: the
// next download reads the file again.
TEST_F(SmallFileCacheTest, TheCopyIsHandedOutOnlyWhileTheNameLeadsToTheSameUnchangedFile)
{
    CSmallFileCache cache;
    const auto kept = keepFile(cache, "modem.cfg", "config-1");
    EXPECT_EQ(kept, find(cache, "modem.cfg"));
    EXPECT_EQ(kept, find(cache, "modem.cfg"));
    EXPECT_EQ(nullptr, find(cache, "other.cfg"));

    // Rewritten in place with as many bytes, times set apart from the
    // first write's (which a coarse clock could repeat).
    writeFile(tmp / "modem.cfg", "config-2");
    const timespec past[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(0, ::utimensat(rootFd, "modem.cfg", past, 0));
    EXPECT_EQ(nullptr, find(cache, "modem.cfg"));
    EXPECT_EQ(0u, cache.size());

    // Replaced by a rename (another inode).
    keepFile(cache, "modem.cfg", "config-2");
    writeFile(tmp / "new.cfg", "config-3");
    ASSERT_EQ(0, ::rename((tmp / "new.cfg").c_str(), (tmp / "modem.cfg").c_str()));
    EXPECT_EQ(nullptr, find(cache, "modem.cfg"));

    // Grown.
    keepFile(cache, "modem.cfg", "config-3");
    ASSERT_EQ(0, ::truncate((tmp / "modem.cfg").c_str(), 20));
    EXPECT_EQ(nullptr, find(cache, "modem.cfg"));

    // Removed, or a link in its place (even to the same file).
    keepFile(cache, "modem.cfg", "config-4");
    ASSERT_EQ(0, ::rename((tmp / "modem.cfg").c_str(), (tmp / "real.cfg").c_str()));
    EXPECT_EQ(nullptr, find(cache, "modem.cfg"));
    keepFile(cache, "modem.cfg", "config-4");
    ASSERT_EQ(0, ::unlink((tmp / "modem.cfg").c_str()));
    ASSERT_EQ(0, ::symlink("real.cfg", (tmp / "modem.cfg").c_str()));
    EXPECT_EQ(nullptr, find(cache, "modem.cfg"));
    EXPECT_EQ(0u, cache.size());
}

TEST_F(SmallFileCacheTest, TheLeastRecentlyUsedCopyMakesRoomWithinTheBudget)
{
    const std::string kilobyte(1000, 'k');
    // Room for three copies of a kilobyte with their fixed cost, not four.
    CSmallFileCache cache(3 * (1000 + 256) + 100);
    keepFile(cache, "a", kilobyte);
    keepFile(cache, "b", kilobyte);
    keepFile(cache, "c", kilobyte);
    ASSERT_NE(nullptr, find(cache, "a"));
    keepFile(cache, "d", kilobyte);
    EXPECT_EQ(3u, cache.size());
    EXPECT_EQ(nullptr, find(cache, "b"));
    EXPECT_NE(nullptr, find(cache, "a"));
    EXPECT_NE(nullptr, find(cache, "c"));
    EXPECT_NE(nullptr, find(cache, "d"));
    EXPECT_EQ(3u * (1000 + 256), cache.bytes());

    // Keeping a name again replaces its copy.
    keepFile(cache, "a", "short");
    EXPECT_EQ("short", *find(cache, "a"));
    EXPECT_EQ(3u, cache.size());

    // Empty files cost their entries: they cannot grow the cache without
    // bound.
    for (int i = 0; i < 100; ++i) keepFile(cache, "empty-" + std::to_string(i), "");
    EXPECT_LE(cache.bytes(), 3u * (1000 + 256) + 100);
    EXPECT_LE(cache.size(), (3u * (1000 + 256) + 100) / 256);
    EXPECT_NE(nullptr, find(cache, "empty-99"));

    // A copy larger than the whole budget is not kept.
    CSmallFileCache tiny(100);
    keepFile(tiny, "a", "abc");
    EXPECT_EQ(0u, tiny.size());
}

} // namespace
