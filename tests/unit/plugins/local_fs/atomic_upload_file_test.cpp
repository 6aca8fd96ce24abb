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
using localfs_test::exists;
using localfs_test::readFile;
using localfs_test::ScopedFileSizeLimit;
using localfs_test::ScopedUmask;
using localfs_test::snapshot;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::TinyFileSystem;
using localfs_test::writeFile;

class AtomicUploadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.reset(open(tmp.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(dir.get(), 0);
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
    std::set<std::string> names() const { return namesIn(tmp.path()); }

    static std::set<std::string> namesIn(const std::string& path)
    {
        std::set<std::string> all;
        for (const auto& entry : snapshot(path))
            if (!entry.first.empty()) all.insert(entry.first.substr(1));
        return all;
    }

    TempDir tmp;
    osk::CFileDescriptor dir;
    std::string oldContent;
};

TEST_F(AtomicUploadTest, NewFileAppearsUnderItsNameOnlyWhenCommitted)
{
    ScopedUmask mask(077);
    CAtomicUploadFile upload(dir.get(), "new.cfg", 0664, false, true);
    EXPECT_TRUE(CAtomicUploadFile::isTemporaryName(upload.tempName())) << upload.tempName();
    EXPECT_EQ(0u, upload.tempName().find(".new.cfg.upload-"));
    upload.write(0, "0123", 4);
    upload.write(4, "4567", 4);
    upload.write(4, "4567", 4); // a retransmitted block
    // Readers of the name find nothing until the upload is complete.
    EXPECT_FALSE(exists(tmp / "new.cfg"));
    EXPECT_EQ(names(), std::set<std::string>{upload.tempName()});
    EXPECT_EQ("01234567", readFile(tmp / upload.tempName()));
    upload.commit();
    EXPECT_FALSE(upload.open());
    EXPECT_EQ("01234567", readFile(tmp / "new.cfg"));
    EXPECT_EQ(mode_t(0664), modeOf("new.cfg"));
    EXPECT_EQ(names(), std::set<std::string>{"new.cfg"});
}

TEST_F(AtomicUploadTest, AbortedReplacementLeavesTheOldFileIntact)
{
    writeFile(tmp / "image.bin", oldContent);
    chmod((tmp / "image.bin").c_str(), 0604);
    {
        CAtomicUploadFile upload(dir.get(), "image.bin", 0640, true, true);
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
        CAtomicUploadFile upload(dir.get(), "image.bin", 0640, true, true);
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
        chmod((tmp / name).c_str(), 0);
        CAtomicUploadFile replace(dir.get(), name, c.perms, true, true);
        replace.commit();
        EXPECT_EQ(c.expected, modeOf(name)) << name << " replaced";
    }
}

TEST_F(AtomicUploadTest, DeletePartialDecidesWhetherAnAbortedUploadIsKeptUnderItsTemporaryName)
{
    std::string kept;
    {
        CAtomicUploadFile upload(dir.get(), "kept", 0644, false, false);
        upload.write(0, "part", 4);
        kept = upload.tempName();
        upload.abort();
    }
    // Kept for inspection, but never under the name a complete file has.
    EXPECT_FALSE(exists(tmp / "kept"));
    EXPECT_EQ("part", readFile(tmp / kept));
    EXPECT_EQ(mode_t(0644), modeOf(kept));
    {
        // Dropped without commit: the same as abort.
        CAtomicUploadFile upload(dir.get(), "gone", 0644, false, true);
        upload.write(0, "part", 4);
    }
    writeFile(tmp / "old", oldContent);
    {
        CAtomicUploadFile upload(dir.get(), "old", 0644, true, true);
        upload.write(0, "part", 4);
    }
    EXPECT_EQ(names(), (std::set<std::string>{kept, "old"}));
    EXPECT_EQ(oldContent, readFile(tmp / "old"));
}

TEST_F(AtomicUploadTest, AbortNeverDeletesAFileAnotherUploadCompletedMeanwhile)
{
    // Two clients upload the same new name; the second completes first and
    // the first is abandoned.
    CAtomicUploadFile first(dir.get(), "shared.cfg", 0644, false, true);
    first.write(0, "mine", 4);
    CAtomicUploadFile second(dir.get(), "shared.cfg", 0644, false, true);
    EXPECT_NE(first.tempName(), second.tempName());
    second.write(0, "theirs", 6);
    second.commit();
    first.abort();
    EXPECT_EQ("theirs", readFile(tmp / "shared.cfg"));
    EXPECT_EQ(names(), std::set<std::string>{"shared.cfg"});

    // Nor a file that was put under the temporary's own name.
    CAtomicUploadFile racy(dir.get(), "racy", 0644, false, true);
    writeFile(tmp / "other", "other");
    ASSERT_EQ(0, rename((tmp / "other").c_str(), (tmp / racy.tempName()).c_str()));
    racy.abort();
    EXPECT_EQ("other", readFile(tmp / racy.tempName()));
}

TEST_F(AtomicUploadTest, NewFileNeverReplacesAFileThatAppearedMeanwhile)
{
    CAtomicUploadFile refused(dir.get(), "cm.bin", 0644, false, true);
    refused.write(0, "late", 4);
    writeFile(tmp / "cm.bin", oldContent);
    EXPECT_EQ(EEXIST, thrownErrno([&] { refused.commit(); }));
    EXPECT_FALSE(refused.open());
    EXPECT_EQ(oldContent, readFile(tmp / "cm.bin"));
    EXPECT_EQ(names(), std::set<std::string>{"cm.bin"});

    // Allowed to overwrite, the complete upload wins.
    ASSERT_EQ(0, unlink((tmp / "cm.bin").c_str()));
    CAtomicUploadFile allowed(dir.get(), "cm.bin", 0644, true, true);
    allowed.write(0, "late", 4);
    writeFile(tmp / "cm.bin", oldContent);
    allowed.commit();
    EXPECT_EQ("late", readFile(tmp / "cm.bin"));
    EXPECT_EQ(names(), std::set<std::string>{"cm.bin"});
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

    // A directory that took the name meanwhile is not replaced either.
    CAtomicUploadFile late(dir.get(), "late", 0644, true, true);
    ASSERT_EQ(0, mkdir((tmp / "late").c_str(), 0755));
    EXPECT_NE(-1, thrownErrno([&] { late.commit(); }));
    EXPECT_EQ(names(), (std::set<std::string>{"old", "adir", "pipe", "late"}));
}

TEST_F(AtomicUploadTest, SymbolicLinkIsReplacedNeverWrittenThrough)
{
    writeFile(tmp / "target", oldContent);
    ASSERT_EQ(0, symlink("target", (tmp / "link").c_str()));
    CAtomicUploadFile upload(dir.get(), "link", 0644, true, true);
    upload.write(0, "new", 3);
    upload.commit();
    EXPECT_EQ(oldContent, readFile(tmp / "target"));
    struct stat st;
    ASSERT_EQ(0, lstat((tmp / "link").c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(mode_t(0644), st.st_mode & 07777);
    EXPECT_EQ("new", readFile(tmp / "link"));
}

TEST_F(AtomicUploadTest, LongestNameStillGetsATemporaryBesideIt)
{
    const std::string longName(255, 'L');
    writeFile(tmp / longName, oldContent);
    CAtomicUploadFile upload(dir.get(), longName, 0644, true, true);
    EXPECT_LE(upload.tempName().size(), 255u);
    EXPECT_TRUE(CAtomicUploadFile::isTemporaryName(upload.tempName()));
    upload.write(0, "short", 5);
    upload.commit();
    EXPECT_EQ("short", readFile(tmp / longName));
    EXPECT_EQ(names(), std::set<std::string>{longName});
}

TEST(AtomicUploadNameTest, OnlyTheNamesOfTemporariesAreRecognised)
{
    EXPECT_TRUE(CAtomicUploadFile::isTemporaryName(".a.upload-0123456789ab"));
    EXPECT_TRUE(CAtomicUploadFile::isTemporaryName(".x.cfg.upload-ffffffffffff"));
    for (const char* name : {"a.upload-0123456789ab", ".upload-0123456789ab", ".a.upload-0123456789a",
                             ".a.upload-0123456789abc", ".a.upload-0123456789AB", ".a.upload-0123456789ag",
                             ".a.uploadX0123456789ab", ".a.cfg", "", "."})
        EXPECT_FALSE(CAtomicUploadFile::isTemporaryName(name)) << name;
}

TEST_F(AtomicUploadTest, FailuresCarryTheSystemError)
{
    CAtomicUploadFile upload(dir.get(), "big", 0644, false, false);
    EXPECT_EQ(EFBIG, thrownErrno([&] { upload.write(UINT64_MAX - 1, "xy", 2); }));
    // A failed write ends the upload and removes what it wrote, even where
    // partial uploads are kept.
    EXPECT_FALSE(upload.open());
    EXPECT_EQ(names(), std::set<std::string>{});
    // A read-only directory refuses the new file.
    ASSERT_EQ(0, mkdir((tmp / "ro").c_str(), 0555));
    osk::CFileDescriptor ro(open((tmp / "ro").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (geteuid() != 0) {
        EXPECT_EQ(EACCES, thrownErrno([&] { CAtomicUploadFile u(ro.get(), "f", 0644, true, true); }));
    }
    EXPECT_EQ(EBADF, thrownErrno([&] { CAtomicUploadFile u(-1, "f", 0644, true, true); }));
}

TEST_F(AtomicUploadTest, WriteBeyondTheFileSizeLimitRemovesTheTemporary)
{
    writeFile(tmp / "fw.bin", oldContent);
    CAtomicUploadFile upload(dir.get(), "fw.bin", 0644, true, false);
    {
        ScopedFileSizeLimit limit(4096);
        upload.write(0, oldContent.data(), 4000);
        EXPECT_EQ(EFBIG, thrownErrno([&] { upload.write(4000, oldContent.data(), 1000); }));
    }
    EXPECT_FALSE(upload.open());
    EXPECT_EQ(names(), std::set<std::string>{"fw.bin"});
    EXPECT_EQ(oldContent, readFile(tmp / "fw.bin"));
}

TEST_F(AtomicUploadTest, DiskFullFailsWithENOSPCAndRemovesTheTemporary)
{
    TinyFileSystem disk("16k");
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs privileges";
    writeFile(disk / "old", "old");
    osk::CFileDescriptor dir(open(disk.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const std::string block(512, 'b');
    for (bool replace : {false, true}) {
        CAtomicUploadFile upload(dir.get(), replace ? "old" : "new", 0644, replace, false);
        int err = -1;
        for (uint64_t offset = 0; err == -1 && offset < (1u << 20); offset += block.size())
            err = thrownErrno([&] { upload.write(offset, block.data(), block.size()); });
        EXPECT_EQ(ENOSPC, err) << replace;
        EXPECT_FALSE(upload.open());
        EXPECT_EQ(namesIn(disk.path()), std::set<std::string>{"old"}) << replace;
        EXPECT_EQ("old", readFile(disk / "old"));
    }
}

} // namespace
