#include "local_fs/atomic_upload_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CAtomicUploadFile;
using localfs::CUniqueFd;
using localfs_test::readFile;
using localfs_test::ScopedUmask;
using localfs_test::snapshot;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::writeFile;

class AtomicUploadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.reset(open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(dir.valid());
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < 10000; ++i) oldContent += static_cast<char>(byte(rng));
    }

    mode_t modeOf(const std::string& name) const
    {
        struct stat st;
        EXPECT_EQ(0, lstat((tmp / name).c_str(), &st));
        return st.st_mode & 07777;
    }

    // Names in the directory (without "" for the directory itself).
    std::set<std::string> names() const
    {
        std::set<std::string> all;
        for (const auto& entry : snapshot(tmp.path()))
            if (!entry.first.empty()) all.insert(entry.first.substr(1));
        return all;
    }

    TempDir tmp;
    CUniqueFd dir;
    std::string oldContent;
};

TEST_F(AtomicUploadTest, AbortedReplacementLeavesTheOldFileIntact)
{
    writeFile(tmp / "image.bin", oldContent);
    chmod((tmp / "image.bin").c_str(), 0604);
    {
        CAtomicUploadFile upload(dir.get(), "image.bin", 0640, true, true);
        EXPECT_TRUE(upload.replacing());
        ASSERT_FALSE(upload.tempName().empty());
        EXPECT_EQ(names(), (std::set<std::string>{"image.bin", upload.tempName()}));
        upload.write(0, "new data", 8);
        // Until the upload completes, readers see the old file.
        EXPECT_EQ(oldContent, readFile(tmp / "image.bin"));
        upload.abort();
        EXPECT_FALSE(upload.open());
        upload.abort(); // a second abort does nothing
    }
    EXPECT_EQ(oldContent, readFile(tmp / "image.bin"));
    EXPECT_EQ(mode_t(0604), modeOf("image.bin"));
    EXPECT_EQ(names(), std::set<std::string>{"image.bin"});

    // Dropping an unfinished upload is an abort as well.
    {
        CAtomicUploadFile upload(dir.get(), "image.bin", 0640, true, false);
        upload.write(0, "x", 1);
    }
    EXPECT_EQ(oldContent, readFile(tmp / "image.bin"));
    EXPECT_EQ(names(), std::set<std::string>{"image.bin"});
}

TEST_F(AtomicUploadTest, CompletedReplacementTakesThePlaceOfTheOldFile)
{
    writeFile(tmp / "cfg", oldContent);
    ScopedUmask mask(077);
    CAtomicUploadFile upload(dir.get(), "cfg", 0664, true, true);
    upload.write(0, "0123", 4);
    upload.write(4, "4567", 4);
    upload.write(4, "4567", 4); // a retransmitted block
    upload.write(8, "89", 2);
    EXPECT_EQ(10u, upload.size());
    upload.commit();
    EXPECT_FALSE(upload.open());
    EXPECT_EQ("0123456789", readFile(tmp / "cfg"));
    EXPECT_EQ(mode_t(0664), modeOf("cfg"));
    EXPECT_EQ(names(), std::set<std::string>{"cfg"});
    EXPECT_EQ(EBADF, thrownErrno([&] { upload.write(0, "x", 1); }));
    EXPECT_EQ(EBADF, thrownErrno([&] { upload.commit(); }));
}

TEST_F(AtomicUploadTest, PermissionsAreExactlyAsConfiguredWhateverTheUmask)
{
    struct Case {
        mode_t umaskValue;
        mode_t perms;
        mode_t expected;
    };
    const Case cases[] = {{022, 0666, 0666}, {077, 0640, 0640}, {0, 0600, 0600}, {0777, 0660, 0660},
                          {022, 04755, 0755}, {002, 01777, 0777}};
    int n = 0;
    for (const Case& c : cases) {
        ScopedUmask mask(c.umaskValue);
        const std::string name = "f" + std::to_string(n++);
        CAtomicUploadFile fresh(dir.get(), name, c.perms, false, true);
        fresh.commit();
        EXPECT_EQ(c.expected, modeOf(name)) << name;
        CAtomicUploadFile replace(dir.get(), name, c.perms, true, true);
        EXPECT_TRUE(replace.replacing());
        replace.commit();
        EXPECT_EQ(c.expected, modeOf(name)) << name << " replaced";
    }
}

TEST_F(AtomicUploadTest, DeletePartialDecidesTheFateOfAnAbortedNewFile)
{
    {
        CAtomicUploadFile upload(dir.get(), "kept", 0644, false, false);
        EXPECT_FALSE(upload.replacing());
        EXPECT_TRUE(upload.tempName().empty());
        upload.write(0, "part", 4);
        upload.abort();
    }
    EXPECT_EQ("part", readFile(tmp / "kept"));
    {
        CAtomicUploadFile upload(dir.get(), "gone", 0644, false, true);
        upload.write(0, "part", 4);
        // A new file is written under its own name while it arrives.
        EXPECT_EQ("part", readFile(tmp / "gone"));
    }
    EXPECT_EQ(names(), std::set<std::string>{"kept"});
}

TEST_F(AtomicUploadTest, AbortNeverDeletesAFileThatTookItsPlace)
{
    CAtomicUploadFile upload(dir.get(), "racy", 0644, false, true);
    upload.write(0, "mine", 4);
    writeFile(tmp / "other", "theirs");
    ASSERT_EQ(0, rename((tmp / "other").c_str(), (tmp / "racy").c_str()));
    upload.abort();
    EXPECT_EQ("theirs", readFile(tmp / "racy"));
}

TEST_F(AtomicUploadTest, ExistingFilesAndDirectoriesAreProtected)
{
    writeFile(tmp / "old", oldContent);
    EXPECT_EQ(EEXIST, thrownErrno([&] { CAtomicUploadFile u(dir.get(), "old", 0644, false, true); }));
    EXPECT_EQ(oldContent, readFile(tmp / "old"));
    ASSERT_EQ(0, mkdir((tmp / "adir").c_str(), 0755));
    EXPECT_EQ(EISDIR, thrownErrno([&] { CAtomicUploadFile u(dir.get(), "adir", 0644, true, true); }));
    ASSERT_EQ(0, mkfifo((tmp / "pipe").c_str(), 0644));
    EXPECT_EQ(EACCES, thrownErrno([&] { CAtomicUploadFile u(dir.get(), "pipe", 0644, true, true); }));
    for (const char* bad : {"", ".", "..", "a/b"})
        EXPECT_EQ(EINVAL, thrownErrno([&] { CAtomicUploadFile u(dir.get(), bad, 0644, true, true); })) << bad;
    EXPECT_EQ(names(), (std::set<std::string>{"old", "adir", "pipe"}));
}

TEST_F(AtomicUploadTest, LongestNameStillGetsATemporaryBesideIt)
{
    const std::string longName(255, 'L');
    writeFile(tmp / longName, oldContent);
    CAtomicUploadFile upload(dir.get(), longName, 0644, true, true);
    EXPECT_LE(upload.tempName().size(), 255u);
    upload.write(0, "short", 5);
    upload.commit();
    EXPECT_EQ("short", readFile(tmp / longName));
    EXPECT_EQ(names(), std::set<std::string>{longName});
}

TEST_F(AtomicUploadTest, FailuresCarryTheSystemError)
{
    CAtomicUploadFile upload(dir.get(), "big", 0644, false, true);
    EXPECT_EQ(EFBIG, thrownErrno([&] { upload.write(UINT64_MAX - 1, "xy", 2); }));
    // A read-only directory refuses the new file.
    ASSERT_EQ(0, mkdir((tmp / "ro").c_str(), 0555));
    CUniqueFd ro(open((tmp / "ro").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (geteuid() != 0) {
        EXPECT_EQ(EACCES, thrownErrno([&] { CAtomicUploadFile u(ro.get(), "f", 0644, true, true); }));
    }
    EXPECT_EQ(EBADF, thrownErrno([&] { CAtomicUploadFile u(-1, "f", 0644, true, true); }));
}

} // namespace
