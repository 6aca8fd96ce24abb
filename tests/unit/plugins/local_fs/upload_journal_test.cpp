#include "local_fs/upload_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "local_fs/atomic_upload_file.h"
#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CAtomicUploadFile;
using localfs::CUploadJournal;
using localfs_test::exists;
using localfs_test::readFile;
using localfs_test::ScopedFileSizeLimit;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::writeFile;

class UploadJournalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.reset(open(root.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(dir.get(), 0);
    }

    std::unique_ptr<CAtomicUploadFile> upload(CUploadJournal& journal, const std::string& name,
                                              bool deletePartial = true)
    {
        return std::unique_ptr<CAtomicUploadFile>(
            new CAtomicUploadFile(dir.get(), name, 0644, true, deletePartial, &journal, root.path()));
    }

    std::string journalText() const { return readFile(journalFile); }

    TempDir root;
    TempDir storage;
    osk::CFileDescriptor dir;
    const std::string journalFile = storage / CUploadJournal::fileName();
};

TEST_F(UploadJournalTest, RecordsEachTemporaryUntilTheUploadIsDoneWithIt)
{
    CUploadJournal journal(journalFile);
    struct stat st;
    ASSERT_EQ(0, stat(journalFile.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);

    auto committed = upload(journal, "a.cfg");
    auto aborted = upload(journal, "b.cfg");
    auto kept = upload(journal, "c.cfg", false);
    const std::string a = root / committed->tempName();
    const std::string b = root / aborted->tempName();
    const std::string c = root / kept->tempName();
    EXPECT_EQ("+" + a + "\n+" + b + "\n+" + c + "\n", journalText());
    EXPECT_EQ(3u, journal.inProgress());

    committed->commit();
    aborted->abort();
    // The kept partial is finished with as well: it is no orphan.
    kept->abort();
    EXPECT_TRUE(exists(c));
    EXPECT_EQ(0u, journal.inProgress());
    // With nothing in progress the journal holds nothing.
    EXPECT_EQ("", journalText());

    auto first = upload(journal, "d.cfg");
    auto second = upload(journal, "e.cfg");
    const std::string d = root / first->tempName();
    const std::string e = root / second->tempName();
    first->commit();
    EXPECT_EQ("+" + d + "\n+" + e + "\n-" + d + "\n", journalText());
}

TEST_F(UploadJournalTest, NextStartRemovesExactlyTheUnfinishedTemporaries)
{
    const std::string orphan = root / ".boot.cfg.upload-0123456789ab";
    const std::string kept = root / ".modem.bin.upload-aaaaaaaaaaaa";
    const std::string unrelated = root / ".other.upload-bbbbbbbbbbbb";
    const std::string notTemporary = root / "boot.cfg";
    const std::string directory = root / ".dir.upload-cccccccccccc";
    const std::string link = root / ".link.upload-dddddddddddd";
    const std::string torn = root / ".torn.upload-eeeeeeeeeeee";
    const std::string twice = root / ".twice.upload-ffffffffffff";
    for (const std::string& file : {orphan, kept, unrelated, notTemporary, torn, twice}) writeFile(file, "x");
    ASSERT_EQ(0, mkdir(directory.c_str(), 0755));
    ASSERT_EQ(0, symlink(notTemporary.c_str(), link.c_str()));
    writeFile(journalFile, "+" + orphan + "\n+" + kept + "\n-" + kept + "\n+" + notTemporary + "\n+" + directory +
                               "\n+" + link + "\n+" + root.path() + "/.gone.upload-000000000000\n" +
                               "garbage\n+relative/.x.upload-000000000000\n+/bad\\escape\n+" + twice + "\n+" +
                               twice + "\n-" + twice + "\n+" + torn);

    CUploadJournal journal(journalFile);
    EXPECT_EQ((std::vector<std::string>{orphan, twice}), journal.removeOrphans());
    EXPECT_FALSE(exists(orphan));
    EXPECT_FALSE(exists(twice));
    for (const std::string& path : {kept, unrelated, notTemporary, directory, link, torn})
        EXPECT_TRUE(exists(path)) << path;
    EXPECT_EQ("", journalText());
}

TEST_F(UploadJournalTest, OnlyOneProcessHoldsTheJournal)
{
    {
        CUploadJournal journal(journalFile);
        EXPECT_EQ(EWOULDBLOCK, thrownErrno([&] { CUploadJournal second(journalFile); }));
    }
    EXPECT_NO_THROW(CUploadJournal again(journalFile));
    ASSERT_EQ(0, symlink(journalFile.c_str(), (storage / "link").c_str()));
    EXPECT_EQ(ELOOP, thrownErrno([&] { CUploadJournal linked(storage / "link"); }));
    EXPECT_EQ(ENOENT, thrownErrno([&] { CUploadJournal missing(storage / "no/such/dir/journal"); }));
}

TEST_F(UploadJournalTest, LargeJournalIsRewrittenWithTheTemporariesInProgress)
{
    CUploadJournal journal(journalFile);
    auto lasting = upload(journal, "lasting");
    const std::string lastingPath = root / lasting->tempName();
    const std::string line = "+" + lastingPath + "\n";
    // Each short upload adds two records until the journal is rewritten.
    off_t previous = 0;
    size_t uploads = 0;
    for (;; ++uploads) {
        ASSERT_LT(uploads, 100000u) << "the journal was never rewritten";
        upload(journal, "short")->abort();
        struct stat st;
        ASSERT_EQ(0, stat(journalFile.c_str(), &st));
        if (st.st_size < previous) break;
        previous = st.st_size;
    }
    EXPECT_GT(static_cast<uint64_t>(previous), CUploadJournal::compactAbove - 2 * line.size());
    EXPECT_EQ(line, journalText());
    EXPECT_EQ(1u, journal.inProgress());
    EXPECT_FALSE(exists(journalFile + ".new"));
    // The rewritten journal is held as well.
    EXPECT_EQ(EWOULDBLOCK, thrownErrno([&] { CUploadJournal second(journalFile); }));
    lasting->commit();
    EXPECT_EQ("", journalText());
}

TEST_F(UploadJournalTest, UploadThatCannotBeRecordedDoesNotStart)
{
    CUploadJournal journal(journalFile);
    struct stat before;
    ASSERT_EQ(0, stat(root.path().c_str(), &before));
    // File times move in clock ticks: let one pass, so that a file made and
    // removed again would show in the directory's times.
    usleep(50 * 1000);
    {
        // The journal cannot grow: recording the temporary fails.
        ScopedFileSizeLimit limit(0);
        EXPECT_EQ(EFBIG, thrownErrno([&] { upload(journal, "f"); }));
    }
    EXPECT_EQ(0u, journal.inProgress());
    // The record comes before the file: a crash between the two must not
    // leave a file that the journal does not know, so no file was made.
    struct stat after;
    ASSERT_EQ(0, stat(root.path().c_str(), &after));
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ((std::set<std::string>{}), [&] {
        std::set<std::string> names;
        for (const auto& entry : localfs_test::snapshot(root.path()))
            if (!entry.first.empty()) names.insert(entry.first);
        return names;
    }());
}

} // namespace
