#include "local_fs/root_directory_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "local_fs/local_path_resolver.h"
#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CLocalPathResolver;
using localfs::CRootDirectoryCache;
using localfs_test::readFd;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::writeFile;
using namespace std::chrono_literals;

// A cache on a clock the test moves by hand.
class RootDirectoryCacheTest : public ::testing::Test {
protected:
    CRootDirectoryCache::clock_type::time_point now = CRootDirectoryCache::clock_type::time_point() + 1h;
    CRootDirectoryCache cache{1000ms, 3, [this] { return now; }};
    TempDir tmp;

    // The content of name beneath root, resolved through the cache.
    std::string readBeneath(const std::string& root, const std::string& name)
    {
        CLocalPathResolver resolver(root, cache.open(root));
        return readFd(resolver.openRead(name).get());
    }
};

TEST_F(RootDirectoryCacheTest, OneRootIsOpenedOncePerLifetime)
{
    const std::string root = tmp / "root";
    ASSERT_EQ(0, ::mkdir(root.c_str(), 0755));
    const auto first = cache.open(root);
    ASSERT_GE(first->get(), 0);
    now += 999ms;
    EXPECT_EQ(first, cache.open(root));
    now += 1ms;
    const auto second = cache.open(root);
    EXPECT_NE(first, second);
    EXPECT_GE(second->get(), 0);
    // The descriptor handed out before stays open for its holder.
    EXPECT_GE(first->get(), 0);
    struct stat info;
    EXPECT_EQ(0, ::fstat(first->get(), &info));
    EXPECT_EQ(1u, cache.size());
}

TEST_F(RootDirectoryCacheTest, ReplacedRootIsSeenOnceItsDescriptorExpires)
{
    const std::string root = tmp / "root";
    ASSERT_EQ(0, ::mkdir(root.c_str(), 0755));
    writeFile(root + "/boot.cfg", "old");
    EXPECT_EQ("old", readBeneath(root, "boot.cfg"));

    ASSERT_EQ(0, std::rename(root.c_str(), (tmp / "retired").c_str()));
    ASSERT_EQ(0, ::mkdir(root.c_str(), 0755));
    writeFile(root + "/boot.cfg", "new");
    // Within the lifetime the kept descriptor still names the old directory.
    now += 500ms;
    EXPECT_EQ("old", readBeneath(root, "boot.cfg"));
    now += 500ms;
    EXPECT_EQ("new", readBeneath(root, "boot.cfg"));
}

TEST_F(RootDirectoryCacheTest, RootsAreKeptApartAndTheirNumberIsBounded)
{
    for (const char* name : {"a", "b", "c", "d"}) {
        ASSERT_EQ(0, ::mkdir((tmp / name).c_str(), 0755));
        writeFile(tmp / name + "/id", name);
    }
    for (const char* name : {"a", "b", "c", "d"}) {
        EXPECT_EQ(name, readBeneath(tmp / name, "id"));
        now += 1ms;
    }
    // Three at most; the oldest made room for the fourth.
    EXPECT_EQ(3u, cache.size());
    const auto d = cache.open(tmp / "d");
    EXPECT_EQ(d, cache.open(tmp / "d"));
    for (const char* name : {"a", "b", "c", "d"}) EXPECT_EQ(name, readBeneath(tmp / name, "id"));

    // Expired roots leave when room is made, before any live one.
    now += 2000ms;
    EXPECT_EQ("a", readBeneath(tmp / "a", "id"));
    EXPECT_EQ(1u, cache.size());
}

TEST_F(RootDirectoryCacheTest, MissingRootFailsEveryTimeAndIsNotKept)
{
    const std::string root = tmp / "missing";
    EXPECT_EQ(ENOENT, thrownErrno([&] { cache.open(root); }));
    EXPECT_EQ(0u, cache.size());
    ASSERT_EQ(0, ::mkdir(root.c_str(), 0755));
    EXPECT_GE(cache.open(root)->get(), 0);
    EXPECT_EQ(EINVAL, thrownErrno([&] { cache.open(""); }));
    cache.clear();
    EXPECT_EQ(0u, cache.size());
}

} // namespace
