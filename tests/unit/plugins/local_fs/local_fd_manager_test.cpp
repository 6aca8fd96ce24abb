#include "local_fs/local_fd_manager.h"
#include "local_fs/local_fd_manager_factory.h"
#include "local_fs/local_path_resolver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "local_fs/atomic_upload_file.h"
#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_interfaces/state.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CAtomicUploadFile;
using localfs::CLocalFDManager;
using localfs::CUploadJournal;
using localfs_test::readFile;
using localfs_test::ScopedFileSizeLimit;
using localfs_test::ScopedUmask;
using localfs_test::snapshot;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::TinyFileSystem;
using localfs_test::writeFile;

// The netascii form of text, written out by hand for the expectations.
std::string netascii(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\r\n";
        else if (c == '\r') out += std::string("\r\0", 2);
        else out += c;
    }
    return out;
}

// Drives a manager only through the descriptor-manager interface, the way
// the engine does: names are normalised first and appended to the root.
class LocalFDManagerTest : public ::testing::Test {
protected:
    CState transfer(const std::string& requested, bool download, bool binary, uint64_t blksize = 512,
                    const std::string& root = std::string())
    {
        CState state(1, download ? CState::send_data : CState::send_ack, osk::CEndpoint("10.0.0.9:4000"), 1000000,
                     blksize);
        state.transmitting = download;
        state.binary = binary;
        state.reqFile = requested;
        fdm.normaliseName(state.srcEndpoint, tmp.path(), state.reqFile);
        state.fqpn = (root.empty() ? tmp.path() : root) + state.reqFile;
        return state;
    }

    // Reads the whole download block by block, asking for every block a
    // second time as a retransmission would.
    std::string download(CIDescriptor* d, size_t blksize, size_t* blocks = nullptr)
    {
        std::string all;
        std::vector<char> buffer(blksize), again(blksize);
        osk::CFileOffset offset = 0;
        size_t count = 0;
        for (;;) {
            const size_t n = fdm.readBlock(buffer.data(), offset, blksize, d);
            const size_t m = fdm.readBlock(again.data(), offset, blksize, d);
            EXPECT_EQ(std::string(buffer.data(), n), std::string(again.data(), m)) << "block at " << offset;
            all.append(buffer.data(), n);
            ++count;
            if (n < blksize) break;
            offset += blksize;
        }
        if (blocks) *blocks = count;
        return all;
    }

    // Sends data as upload blocks of blksize bytes (the last one short, empty
    // when the length is a multiple of blksize).
    void upload(CIDescriptor* d, const std::string& data, size_t blksize)
    {
        osk::CFileOffset offset = 0;
        for (;;) {
            const size_t n = std::min(blksize, data.size() - static_cast<size_t>(offset));
            EXPECT_EQ(n, fdm.writeBlock(d, offset, data.data() + offset, n));
            offset += n;
            if (n < blksize) break;
        }
    }

    // The temporaries of uploads in dir.
    std::vector<std::string> temporariesIn(const std::string& dir) const
    {
        std::vector<std::string> found;
        for (const std::string& name : namesIn(dir))
            if (CAtomicUploadFile::isTemporaryName(name)) found.push_back(name);
        return found;
    }

    std::set<std::string> namesIn(const std::string& dir) const
    {
        std::set<std::string> all;
        for (const auto& entry : snapshot(dir))
            if (!entry.first.empty() && entry.first.find('/', 1) == std::string::npos)
                all.insert(entry.first.substr(1));
        return all;
    }

    TempDir tmp;
    localfs::CLocalFDManagerFactory factory;
    osk::CGeneralPtr<CITFTPFDManager> manager = factory.createFDManager(nullptr);
    CITFTPFDManager& fdm = *manager;
};

TEST_F(LocalFDManagerTest, ServesTheLocalFileSystem)
{
    fdm.initManager();
    EXPECT_EQ(std::vector<std::string>{"file"}, fdm.virtualFileSystems());
    EXPECT_TRUE(fdm.usesVirtualRoot() && fdm.usesPreProcessor() && fdm.usesAccessControl() &&
                fdm.usesOverwriteControl());
    fdm.setUploadPerms(0100640);
    EXPECT_EQ(0640, fdm.uploadPerms());
    fdm.setPathCreation(true);
    EXPECT_TRUE(fdm.pathCreation());
    EXPECT_EQ(0u, fdm.fdCount());
}

TEST_F(LocalFDManagerTest, NamesAreNormalisedBeneathTheRoot)
{
    std::string name = "\\cfg\\.\\modem.bin";
    fdm.normaliseName(osk::CEndpoint(), tmp.path(), name);
    EXPECT_EQ("/cfg/modem.bin", name);
    name = "cfg//x";
    fdm.normaliseName(osk::CEndpoint(), tmp.path(), name);
    EXPECT_EQ("/cfg/x", name);

    for (const char* bad : {"../etc/passwd", "a/../../b", "", "/", "a\x01"}) {
        std::string n = bad;
        EXPECT_NE(-1, thrownErrno([&] { fdm.normaliseName(osk::CEndpoint(), tmp.path(), n); })) << bad;
    }
    std::string star = "a*b";
    EXPECT_NE(-1, thrownErrno([&] { fdm.normaliseName(osk::CEndpoint(), tmp.path(), star); }));
    fdm.massageFilenames(false);
    fdm.normaliseName(osk::CEndpoint(), tmp.path(), star);
    EXPECT_EQ("/a*b", star);
}

TEST_F(LocalFDManagerTest, OctetDownloadBlockByBlock)
{
    std::string content;
    for (int i = 0; i < 1300; ++i) content += static_cast<char>(i * 7);
    writeFile(tmp / "boot.bin", content);
    CState state = transfer("boot.bin", true, true);
    state.descriptor = fdm.openFile(state);
    ASSERT_NE(nullptr, state.descriptor);
    EXPECT_EQ(1u, fdm.fdCount());
    EXPECT_EQ(1300u, fdm.fileSize(state.descriptor));
    size_t blocks = 0;
    EXPECT_EQ(content, download(state.descriptor, 512, &blocks));
    EXPECT_EQ(3u, blocks);
    fdm.closeFile(state.descriptor);
    EXPECT_EQ(0u, fdm.fdCount());
}

TEST_F(LocalFDManagerTest, DownloadOfWholeBlocksEndsWithAnEmptyBlock)
{
    writeFile(tmp / "exact", std::string(1024, 'x'));
    CState state = transfer("/exact", true, true);
    CIDescriptor* d = fdm.openFile(state);
    size_t blocks = 0;
    EXPECT_EQ(1024u, download(d, 512, &blocks).size());
    EXPECT_EQ(3u, blocks);
    fdm.closeFile(d);
}

// Read system calls made by this thread so far (pread counts; the one read
// of /proc that asks counts as well, the same for every call).
uint64_t readCalls()
{
    const int fd = ::open("/proc/thread-self/io", O_RDONLY);
    if (fd < 0) return 0;
    char text[512] = {};
    const ssize_t n = ::read(fd, text, sizeof(text) - 1);
    ::close(fd);
    if (n <= 0) return 0;
    const char* field = std::strstr(text, "syscr:");
    return field ? std::strtoull(field + 6, nullptr, 10) : 0;
}

// The read system calls one readBlock makes.
size_t readCallsOf(CITFTPFDManager& fdm, CIDescriptor* d, osk::CFileOffset offset, size_t count, size_t& got)
{
    std::vector<char> buffer(count);
    const uint64_t idle = readCalls();
    const uint64_t probe = readCalls() - idle;
    const uint64_t before = readCalls();
    got = fdm.readBlock(buffer.data(), offset, count, d);
    return static_cast<size_t>(readCalls() - before - probe);
}

TEST_F(LocalFDManagerTest, EachOctetBlockIsOneReadAndTheEndNeedsNoExtraRead)
{
    if (readCalls() == 0) GTEST_SKIP() << "no per-thread I/O counters";
    writeFile(tmp / "short.bin", std::string(1300, 's'));
    writeFile(tmp / "whole.bin", std::string(1024, 'w'));
    CState shortFile = transfer("short.bin", true, true);
    CIDescriptor* d = fdm.openFile(shortFile);
    size_t got = 0;
    EXPECT_EQ(1u, readCallsOf(fdm, d, 0, 512, got));
    EXPECT_EQ(512u, got);
    // The short last block reaches the size the file had when it was
    // opened: that is its end, without a read that returns nothing.
    EXPECT_EQ(1u, readCallsOf(fdm, d, 1024, 512, got));
    EXPECT_EQ(276u, got);
    fdm.closeFile(d);

    // A file of whole blocks: its empty last block takes one read.
    CState whole = transfer("whole.bin", true, true);
    d = fdm.openFile(whole);
    EXPECT_EQ(1u, readCallsOf(fdm, d, 512, 512, got));
    EXPECT_EQ(512u, got);
    EXPECT_EQ(1u, readCallsOf(fdm, d, 1024, 512, got));
    EXPECT_EQ(0u, got);
    fdm.closeFile(d);
}

TEST_F(LocalFDManagerTest, LargeOctetDownloadReadsAheadAndServesRetransmissions)
{
    std::string content;
    for (int i = 0; i < 300000; ++i) content += static_cast<char>((i * 31 + i / 1000) & 0xff);
    writeFile(tmp / "large.bin", content);
    for (size_t blksize : {512u, 1468u}) {
        CState state = transfer("large.bin", true, true, blksize);
        CIDescriptor* d = fdm.openFile(state);
        const uint64_t before = readCalls();
        size_t blocks = 0;
        // Each block is read twice, as after a lost acknowledgement.
        EXPECT_EQ(content, download(d, blksize, &blocks)) << blksize;
        const uint64_t reads = readCalls() - before;
        EXPECT_EQ(content.size() / blksize + 1, blocks);
        // 64 KiB per read (and the probes of the counter).
        if (before != 0) {
            EXPECT_LE(reads, content.size() / 65536 + 4) << blksize;
        }
        fdm.closeFile(d);
    }
}

TEST_F(LocalFDManagerTest, FileThatChangesAfterItIsOpenedTransfersWhatIsRead)
{
    const std::string first(700, 'a');
    const std::string more(400, 'b');
    writeFile(tmp / "growing.bin", first);
    CState growing = transfer("growing.bin", true, true);
    CIDescriptor* d = fdm.openFile(growing);
    EXPECT_EQ(700u, fdm.fileSize(d));
    writeFile(tmp / "growing.bin", first + more);
    // The bytes written after the open are read as far as they go now; the
    // size announced (tsize) stays the one of the open.
    EXPECT_EQ(first + more, download(d, 512));
    EXPECT_EQ(700u, fdm.fileSize(d));
    fdm.closeFile(d);

    writeFile(tmp / "shrinking.bin", std::string(1300, 'c'));
    CState shrinking = transfer("shrinking.bin", true, true);
    d = fdm.openFile(shrinking);
    ASSERT_EQ(0, ::truncate((tmp / "shrinking.bin").c_str(), 600));
    size_t blocks = 0;
    EXPECT_EQ(std::string(600, 'c'), download(d, 512, &blocks));
    EXPECT_EQ(2u, blocks);
    fdm.closeFile(d);
}

// A small octet file that has not changed for a while is served from a copy
// in memory; whatever happens to the file afterwards, the next download
// sends what the file holds then.
TEST_F(LocalFDManagerTest, SettledSmallFileIsServedFromMemoryUntilItChanges)
{
    writeFile(tmp / "modem.cfg", "settled-1");
    struct stat status;
    ASSERT_EQ(0, ::stat((tmp / "modem.cfg").c_str(), &status));
    // Only a file whose last change is over a second old is kept.
    while (::time(nullptr) <= status.st_ctim.tv_sec + 1) ::usleep(50 * 1000);

    // A download served from memory holds no file descriptor, and the
    // descriptor count leaves it out.
    const auto downloadOf = [&](const std::string& name, bool fromMemory, bool binary = true) {
        CState state = transfer(name, true, binary);
        CIDescriptor* d = fdm.openFile(state);
        EXPECT_EQ(fromMemory ? 0u : 1u, fdm.fdCount()) << name << (binary ? " octet" : " netascii");
        const std::string sent = download(d, 512);
        fdm.closeFile(d);
        EXPECT_EQ(0u, fdm.fdCount());
        return sent;
    };
    // The first download copies the file as it opens it.
    EXPECT_EQ("settled-1", downloadOf("modem.cfg", true));
    EXPECT_EQ("settled-1", downloadOf("modem.cfg", true));
    // A netascii download reads the file itself.
    EXPECT_EQ("settled-1", downloadOf("modem.cfg", false, false));

    // Rewritten in place with as many bytes: read again, from the file while
    // it is new.
    writeFile(tmp / "modem.cfg", "changed-2");
    EXPECT_EQ("changed-2", downloadOf("modem.cfg", false));
    // Replaced by a rename.
    writeFile(tmp / "next.cfg", "renamed-3");
    ASSERT_EQ(0, ::rename((tmp / "next.cfg").c_str(), (tmp / "modem.cfg").c_str()));
    EXPECT_EQ("renamed-3", downloadOf("modem.cfg", false));
    // Removed: the download fails as for any missing file.
    ASSERT_EQ(0, ::unlink((tmp / "modem.cfg").c_str()));
    CState missing = transfer("modem.cfg", true, true);
    EXPECT_EQ(ENOENT, thrownErrno([&] { fdm.openFile(missing); }));
    EXPECT_EQ(0u, fdm.fdCount());
}

TEST_F(LocalFDManagerTest, EachRootServesItsOwnFiles)
{
    // Two virtual roots opened one after the other (within the time their
    // directory descriptors are kept) each resolve names beneath themselves.
    TempDir other;
    writeFile(tmp / "same.bin", "first root");
    writeFile(other / "same.bin", "second root");
    for (int round = 0; round < 2; ++round) {
        for (const std::string& root : {tmp.path(), other.path()}) {
            CState state = transfer("same.bin", true, true, 512, root);
            CIDescriptor* d = fdm.openFile(state);
            EXPECT_EQ(root == tmp.path() ? "first root" : "second root", download(d, 512)) << root;
            fdm.closeFile(d);
        }
    }
    // Uploads beneath a kept root land in that root.
    CState sent = transfer("new.bin", false, true, 512, other.path());
    CIDescriptor* d = fdm.openFile(sent);
    upload(d, "uploaded", 512);
    fdm.closeFile(d);
    EXPECT_EQ("uploaded", readFile(other / "new.bin"));
    EXPECT_NE(0, ::access((tmp / "new.bin").c_str(), F_OK));
}

TEST_F(LocalFDManagerTest, NetasciiDownloadBlockByBlock)
{
    // Line ends fall on block boundaries so that expansions are split.
    const std::string text = "abcdefg\nhijklm\r\nn\r\ropqrstu\n\n\nend";
    writeFile(tmp / "cfg.txt", text);
    CState state = transfer("cfg.txt", true, false, 8);
    CIDescriptor* d = fdm.openFile(state);
    EXPECT_EQ(netascii(text).size(), fdm.fileSize(d));
    EXPECT_EQ(netascii(text), download(d, 8));
    fdm.closeFile(d);
}

TEST_F(LocalFDManagerTest, NetasciiDownloadOfWholeBlocksAndOutOfSequence)
{
    writeFile(tmp / "two", "abc\nabc\n"); // 10 netascii bytes
    CState state = transfer("two", true, false, 5);
    CIDescriptor* d = fdm.openFile(state);
    EXPECT_EQ(10u, fdm.fileSize(d));
    char buffer[5];
    ASSERT_EQ(5u, fdm.readBlock(buffer, 0, 5, d));
    // Neither the next block nor the previous one: refused.
    EXPECT_EQ(EINVAL, thrownErrno([&] { fdm.readBlock(buffer, 10, 5, d); }));
    ASSERT_EQ(5u, fdm.readBlock(buffer, 5, 5, d));
    EXPECT_EQ("abc\r\n", std::string(buffer, 5));
    EXPECT_EQ(0u, fdm.readBlock(buffer, 10, 5, d));
    EXPECT_EQ(0u, fdm.readBlock(buffer, 10, 5, d));
    fdm.closeFile(d);
}

TEST_F(LocalFDManagerTest, OctetUploadCreatesTheFileWithExactPermissions)
{
    ScopedUmask mask(077);
    fdm.setUploadPerms(0664);
    std::string content;
    for (int i = 0; i < 2000; ++i) content += static_cast<char>(i % 251);
    CState state = transfer("up.bin", false, true, 512);
    state.descriptor = fdm.openFile(state);
    upload(state.descriptor, content, 512);
    fdm.closeFile(state.descriptor);
    EXPECT_EQ(content, readFile(tmp / "up.bin"));
    struct stat st;
    ASSERT_EQ(0, stat((tmp / "up.bin").c_str(), &st));
    EXPECT_EQ(0664u, st.st_mode & 07777);
    EXPECT_EQ(0u, fdm.fdCount());
}

TEST_F(LocalFDManagerTest, NetasciiUploadCountsReceivedBytes)
{
    // CR LF split over a block boundary, CR NUL, a bare LF, a final CR.
    const std::string wire = std::string("abc\r\nde\r", 8) + std::string("\nf\r\0g\nh\r", 8) + "x";
    CState state = transfer("dir.txt", false, false, 8);
    CIDescriptor* d = fdm.openFile(state);
    // Each block reports what was received, not what was stored, or the
    // engine would take the first block for the last one.
    EXPECT_EQ(8u, fdm.writeBlock(d, 0, wire.data(), 8));
    EXPECT_EQ(8u, fdm.writeBlock(d, 8, wire.data() + 8, 8));
    // A repeat of a stored block changes nothing.
    EXPECT_EQ(8u, fdm.writeBlock(d, 8, wire.data() + 8, 8));
    EXPECT_EQ(1u, fdm.writeBlock(d, 16, wire.data() + 16, 1));
    fdm.closeFile(d);
    EXPECT_EQ(std::string("abc\nde\nf\rg\nh\rx"), readFile(tmp / "dir.txt"));
}

TEST_F(LocalFDManagerTest, NetasciiUploadKeepsATrailingCarriageReturn)
{
    CState state = transfer("cr.txt", false, false, 8);
    CIDescriptor* d = fdm.openFile(state);
    EXPECT_EQ(3u, fdm.writeBlock(d, 0, "ab\r", 3));
    fdm.closeFile(d);
    EXPECT_EQ("ab\r", readFile(tmp / "cr.txt"));
}

TEST_F(LocalFDManagerTest, NetasciiUploadOutOfSequenceIsRefusedAndGivenUp)
{
    writeFile(tmp / "keep.txt", "old");
    CState state = transfer("keep.txt", false, false, 8);
    state.canOverwrite = true;
    CIDescriptor* d = fdm.openFile(state);
    EXPECT_EQ(8u, fdm.writeBlock(d, 0, "12345678", 8));
    EXPECT_EQ(EINVAL, thrownErrno([&] { fdm.writeBlock(d, 16, "12345678", 8); }));
    fdm.closeFile(d);
    EXPECT_EQ("old", readFile(tmp / "keep.txt"));
    EXPECT_EQ((std::set<std::string>{"keep.txt"}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, UnfinishedReplacementKeepsTheOldFile)
{
    writeFile(tmp / "cfg.bin", "old content");
    CState state = transfer("cfg.bin", false, true, 512);
    state.canOverwrite = true;
    CIDescriptor* d = fdm.openFile(state);
    EXPECT_EQ(512u, fdm.writeBlock(d, 0, std::string(512, 'n').data(), 512));
    EXPECT_EQ(512u, fdm.writeBlock(d, 512, std::string(512, 'n').data(), 512));
    fdm.closeFile(d); // no short block came: the upload did not finish
    EXPECT_EQ("old content", readFile(tmp / "cfg.bin"));
    EXPECT_EQ((std::set<std::string>{"cfg.bin"}), namesIn(tmp.path()));

    // The same upload completed replaces it.
    d = fdm.openFile(state);
    upload(d, "new", 512);
    fdm.closeFile(d);
    EXPECT_EQ("new", readFile(tmp / "cfg.bin"));
    EXPECT_EQ((std::set<std::string>{"cfg.bin"}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, ShutdownGivesUpOpenUploads)
{
    writeFile(tmp / "a", "A");
    CState state = transfer("a", false, true, 512);
    state.canOverwrite = true;
    CIDescriptor* d = fdm.openFile(state);
    fdm.writeBlock(d, 0, std::string(512, 'z').data(), 512);
    EXPECT_EQ(1u, fdm.fdCount());
    fdm.shutdownManager();
    EXPECT_EQ(0u, fdm.fdCount());
    EXPECT_EQ("A", readFile(tmp / "a"));
    EXPECT_EQ((std::set<std::string>{"a"}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, OverwriteNeedsPermission)
{
    writeFile(tmp / "exists", "x");
    CState state = transfer("exists", false, true);
    EXPECT_EQ(EEXIST, thrownErrno([&] { fdm.openFile(state); }));
    EXPECT_EQ(0u, fdm.fdCount());
    EXPECT_EQ("x", readFile(tmp / "exists"));
}

TEST_F(LocalFDManagerTest, OpenFailuresCarryTheSystemError)
{
    CState missing = transfer("missing", true, true);
    EXPECT_EQ(ENOENT, thrownErrno([&] { fdm.openFile(missing); }));

    ASSERT_EQ(0, symlink("/etc/passwd", (tmp / "escape").c_str()));
    CState escape = transfer("escape", true, true);
    EXPECT_EQ(EACCES, thrownErrno([&] { fdm.openFile(escape); }));

    // A full name that does not end in the requested name is refused.
    CState forged = transfer("missing", true, true);
    forged.fqpn = "/etc/passwd";
    EXPECT_EQ(EACCES, thrownErrno([&] { fdm.openFile(forged); }));

    // Without path creation an upload into a missing directory fails.
    CState deep = transfer("new/dir/f", false, true);
    EXPECT_EQ(ENOENT, thrownErrno([&] { fdm.openFile(deep); }));
    EXPECT_EQ(0u, fdm.fdCount());
}

TEST_F(LocalFDManagerTest, PathCreationMakesSearchableDirectories)
{
    ScopedUmask mask(077);
    fdm.setPathCreation(true);
    fdm.setUploadPerms(0640);
    CState state = transfer("new/dir/f", false, true);
    CIDescriptor* d = fdm.openFile(state);
    upload(d, "data", 512);
    fdm.closeFile(d);
    EXPECT_EQ("data", readFile(tmp / "new/dir/f"));
    struct stat st;
    ASSERT_EQ(0, stat((tmp / "new/dir").c_str(), &st));
    EXPECT_EQ(localfs::CLocalPathResolver::dirPermsFor(0640), st.st_mode & 07777);
}

TEST_F(LocalFDManagerTest, ForeignAndNullDescriptors)
{
    class Foreign : public CIDescriptor {} foreign;
    char buffer[8];
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.readBlock(buffer, 0, 8, &foreign); }));
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.closeFile(&foreign); }));
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.fileSize(&foreign); }));
    EXPECT_NO_THROW(fdm.closeFile(nullptr));

    // A download descriptor cannot be written and an upload one not read.
    writeFile(tmp / "r", "r");
    CState down = transfer("r", true, true);
    CIDescriptor* d = fdm.openFile(down);
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.writeBlock(d, 0, "x", 1); }));
    CState up = transfer("w", false, true);
    CIDescriptor* u = fdm.openFile(up);
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.readBlock(buffer, 0, 8, u); }));
    EXPECT_EQ(2u, fdm.fdCount());
    EXPECT_NE(d->id(), u->id());
    fdm.closeFile(d);
    fdm.closeFile(u);
    // Closing twice is refused rather than freeing twice.
    EXPECT_EQ(EBADF, thrownErrno([&] { fdm.closeFile(d); }));
}

TEST_F(LocalFDManagerTest, NetasciiRoundTripsAtAnyBlockSize)
{
    std::mt19937 rng(11);
    const char alphabet[] = {'a', 'b', '\n', '\r', '\0', 'z'};
    std::uniform_int_distribution<int> pick(0, 5);
    std::string content;
    for (int i = 0; i < 3000; ++i) content += alphabet[pick(rng)];
    writeFile(tmp / "src", content);
    for (size_t blksize : {1u, 2u, 3u, 7u, 512u}) {
        CState down = transfer("src", true, false, blksize);
        CIDescriptor* d = fdm.openFile(down);
        const std::string wire = download(d, blksize);
        EXPECT_EQ(netascii(content), wire) << blksize;
        EXPECT_EQ(wire.size(), fdm.fileSize(d));
        fdm.closeFile(d);

        CState up = transfer("dst", false, false, blksize);
        up.canOverwrite = true;
        CIDescriptor* u = fdm.openFile(up);
        upload(u, wire, blksize);
        fdm.closeFile(u);
        EXPECT_EQ(content, readFile(tmp / "dst")) << blksize;
    }
}

TEST_F(LocalFDManagerTest, UploadIsInvisibleUntilItsLastBlock)
{
    writeFile(tmp / "old.cfg", "old content");
    CState fresh = transfer("new.cfg", false, true, 8);
    CState replace = transfer("old.cfg", false, true, 8);
    replace.canOverwrite = true;
    CIDescriptor* f = fdm.openFile(fresh);
    CIDescriptor* r = fdm.openFile(replace);
    EXPECT_EQ(8u, fdm.writeBlock(f, 0, "12345678", 8));
    EXPECT_EQ(8u, fdm.writeBlock(r, 0, "12345678", 8));

    // A download of either name meanwhile sees nothing or the old file.
    CState readNew = transfer("new.cfg", true, true);
    EXPECT_EQ(ENOENT, thrownErrno([&] { fdm.openFile(readNew); }));
    CState readOld = transfer("old.cfg", true, true);
    CIDescriptor* d = fdm.openFile(readOld);
    EXPECT_EQ("old content", download(d, 512));
    fdm.closeFile(d);
    EXPECT_EQ(2u, temporariesIn(tmp.path()).size());

    // The last (short) block completes them.
    EXPECT_EQ(3u, fdm.writeBlock(f, 8, "end", 3));
    EXPECT_EQ(3u, fdm.writeBlock(r, 8, "end", 3));
    fdm.closeFile(f);
    fdm.closeFile(r);
    EXPECT_EQ("12345678end", readFile(tmp / "new.cfg"));
    EXPECT_EQ("12345678end", readFile(tmp / "old.cfg"));
    EXPECT_EQ((std::set<std::string>{"new.cfg", "old.cfg"}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, AbandonedUploadNeverTouchesTheFileAnotherClientCompleted)
{
    // Two clients upload the same new name; the second finishes first, the
    // first is abandoned (time-out, client error, cancel).
    CState first = transfer("shared.cfg", false, true, 8);
    CState second = transfer("shared.cfg", false, true, 8);
    CIDescriptor* a = fdm.openFile(first);
    CIDescriptor* b = fdm.openFile(second);
    fdm.writeBlock(a, 0, "AAAAAAAA", 8);
    fdm.writeBlock(b, 0, "theirs", 6);
    fdm.closeFile(b);
    fdm.closeFile(a);
    EXPECT_EQ("theirs", readFile(tmp / "shared.cfg"));
    EXPECT_EQ((std::set<std::string>{"shared.cfg"}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, CompletedNewFileReplacesOneThatAppearedOnlyWhenOverwriteIsAllowed)
{
    for (bool overwrite : {false, true}) {
        CState late = transfer("race.cfg", false, true, 8);
        late.canOverwrite = overwrite;
        CIDescriptor* d = fdm.openFile(late);
        fdm.writeBlock(d, 0, "late", 4);
        writeFile(tmp / "race.cfg", "first");
        if (overwrite) {
            fdm.closeFile(d);
            EXPECT_EQ("late", readFile(tmp / "race.cfg"));
        } else {
            EXPECT_EQ(EEXIST, thrownErrno([&] { fdm.closeFile(d); }));
            EXPECT_EQ("first", readFile(tmp / "race.cfg"));
        }
        EXPECT_EQ(0u, fdm.fdCount());
        EXPECT_EQ((std::set<std::string>{"race.cfg"}), namesIn(tmp.path())) << overwrite;
        ASSERT_EQ(0, unlink((tmp / "race.cfg").c_str()));
    }
}

TEST_F(LocalFDManagerTest, PartialUploadsAreKeptUnderTheirTemporaryNameOnlyWhenAsked)
{
    EXPECT_TRUE(fdm.deletePartialUploads());
    CState state = transfer("fw.bin", false, true, 8);
    CIDescriptor* d = fdm.openFile(state);
    fdm.writeBlock(d, 0, "12345678", 8);
    fdm.closeFile(d);
    EXPECT_EQ((std::set<std::string>{}), namesIn(tmp.path()));

    fdm.deletePartialUploads(false);
    d = fdm.openFile(state);
    fdm.writeBlock(d, 0, "12345678", 8);
    fdm.closeFile(d);
    const std::vector<std::string> kept = temporariesIn(tmp.path());
    ASSERT_EQ(1u, kept.size());
    EXPECT_EQ("12345678", readFile(tmp / kept[0]));
    EXPECT_EQ((std::set<std::string>{kept[0]}), namesIn(tmp.path()));

    // A failed write is no partial upload to keep.
    for (bool binary : {true, false}) {
        CState big = transfer("big.bin", false, binary, 8);
        d = fdm.openFile(big);
        {
            ScopedFileSizeLimit limit(12);
            fdm.writeBlock(d, 0, "12345678", 8);
            EXPECT_EQ(EFBIG, thrownErrno([&] { fdm.writeBlock(d, 8, "12345678", 8); })) << binary;
        }
        fdm.closeFile(d);
        EXPECT_EQ((std::set<std::string>{kept[0]}), namesIn(tmp.path())) << binary;
    }
    // Nor is an offset that no file can reach.
    CState octet = transfer("far.bin", false, true, 8);
    d = fdm.openFile(octet);
    EXPECT_EQ(EFBIG, thrownErrno([&] { fdm.writeBlock(d, UINT64_MAX - 2, "xy", 2); }));
    fdm.closeFile(d);
    EXPECT_EQ((std::set<std::string>{kept[0]}), namesIn(tmp.path()));
}

TEST_F(LocalFDManagerTest, DiskFullEndsTheUploadWithENOSPCAndLeavesNoTemporary)
{
    TinyFileSystem disk("16k");
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs privileges";
    fdm.deletePartialUploads(false);
    CState state = transfer("image.bin", false, true, 512, disk.path());
    CIDescriptor* d = fdm.openFile(state);
    const std::string block(512, 'i');
    int err = -1;
    for (osk::CFileOffset offset = 0; err == -1 && offset < (1u << 20); offset += block.size())
        err = thrownErrno([&] { fdm.writeBlock(d, offset, block.data(), block.size()); });
    EXPECT_EQ(ENOSPC, err);
    fdm.closeFile(d);
    EXPECT_EQ((std::set<std::string>{}), namesIn(disk.path()));
}

TEST(LocalFDManagerRootTest, RootIsTakenFromTheFullName)
{
    EXPECT_EQ("/srv/tftp", CLocalFDManager::rootOf("/srv/tftp/a/b", "a/b"));
    EXPECT_EQ("/srv/tftp", CLocalFDManager::rootOf("/srv/tftp//a/b", "a/b"));
    EXPECT_EQ("/", CLocalFDManager::rootOf("/a", "a"));
    EXPECT_EQ(EACCES, thrownErrno([] { CLocalFDManager::rootOf("/srv/tftpa/b", "a/b"); }));
    EXPECT_EQ(EACCES, thrownErrno([] { CLocalFDManager::rootOf("/srv/x", "y"); }));
}

// The controller's configuration and log as a manager sees them; nothing
// of the controller is started.
class CRecordingController : public CTFTPController {
public:
    CRecordingController() : CTFTPController("zelvo-test") {}
    void syslog(uint32_t, const osk::CMessage& message, int errCode = 0) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _entries.push_back(message.formatted() + (errCode ? " errno=" + std::to_string(errCode) : ""));
    }
    std::vector<std::string> entries() const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _entries;
    }

private:
    mutable std::mutex _mutex;
    std::vector<std::string> _entries;
};

class LocalFDManagerJournalTest : public LocalFDManagerTest {
protected:
    LocalFDManagerJournalTest() { controller.config()->set_string("system.storage.path", storage.path()); }

    TempDir storage;
    CRecordingController controller;
};

TEST_F(LocalFDManagerJournalTest, UploadsInterruptedByACrashAreRemovedAtTheNextStart)
{
    ASSERT_EQ(0, mkdir((tmp / "sub").c_str(), 0755));
    writeFile(tmp / "sub/boot.cfg", "old");
    // Not an upload of this service, though its name looks like one.
    writeFile(tmp / ".unrelated.upload-0123456789ab", "someone's");
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        // The crashing daemon: one upload kept on purpose, two in progress.
        CLocalFDManager crashing(&controller);
        crashing.initManager();
        crashing.deletePartialUploads(false);
        CState kept = transfer("kept.bin", false, true, 8);
        crashing.closeFile([&] {
            CIDescriptor* d = crashing.openFile(kept);
            crashing.writeBlock(d, 0, "12345678", 8);
            return d;
        }());
        for (const char* name : {"sub/boot.cfg", "new.bin"}) {
            CState running = transfer(name, false, true, 8);
            running.canOverwrite = true;
            crashing.writeBlock(crashing.openFile(running), 0, "12345678", 8);
        }
        _exit(crashing.journal() && crashing.journal()->inProgress() == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::vector<std::string> left = temporariesIn(tmp.path());
    ASSERT_EQ(3u, left.size()); // the kept partial, the new file's orphan, the unrelated file
    ASSERT_EQ(1u, temporariesIn(tmp / "sub").size());
    const std::string subOrphan = tmp / ("sub/" + temporariesIn(tmp / "sub")[0]);

    CLocalFDManager restarted(&controller);
    restarted.initManager();
    ASSERT_NE(nullptr, restarted.journal());
    // Left: the kept partial, the unrelated file and the old file.
    const std::vector<std::string> after = temporariesIn(tmp.path());
    ASSERT_EQ(2u, after.size());
    EXPECT_TRUE(std::find(after.begin(), after.end(), ".unrelated.upload-0123456789ab") != after.end());
    const std::string keptName = after[0] == ".unrelated.upload-0123456789ab" ? after[1] : after[0];
    EXPECT_EQ(0u, keptName.find(".kept.bin.upload-"));
    EXPECT_EQ("12345678", readFile(tmp / keptName));
    EXPECT_EQ("someone's", readFile(tmp / ".unrelated.upload-0123456789ab"));
    EXPECT_EQ((std::set<std::string>{"boot.cfg"}), namesIn(tmp / "sub"));
    EXPECT_EQ("old", readFile(tmp / "sub/boot.cfg"));
    EXPECT_EQ("", readFile(storage / CUploadJournal::fileName()));

    const std::vector<std::string> log = controller.entries();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            "Removed '" + subOrphan + "', the temporary file of an upload that a crash interrupted."));
}

TEST_F(LocalFDManagerJournalTest, JournalIsKeptOnlyWithAStoragePathThatNoOtherProcessHolds)
{
    CLocalFDManager first(&controller);
    first.initManager();
    ASSERT_NE(nullptr, first.journal());
    EXPECT_EQ(storage / CUploadJournal::fileName(), first.journal()->file());
    first.initManager(); // a second call keeps the journal it has
    EXPECT_TRUE(controller.entries().empty());

    // Another holder (a dry run beside the daemon) leaves the journal and
    // its temporaries alone, and says so.
    CLocalFDManager second(&controller);
    second.initManager();
    EXPECT_EQ(nullptr, second.journal());
    ASSERT_EQ(1u, controller.entries().size());
    EXPECT_EQ("The upload journal '" + storage / CUploadJournal::fileName() +
                  "' belongs to another running process; its temporary files are left alone.",
              controller.entries()[0]);

    // Uploads work without a journal.
    CState state = transfer("up.bin", false, true, 8);
    CIDescriptor* d = second.openFile(state);
    second.writeBlock(d, 0, "abc", 3);
    second.closeFile(d);
    EXPECT_EQ("abc", readFile(tmp / "up.bin"));

    CRecordingController unconfigured;
    CLocalFDManager third(&unconfigured);
    third.initManager();
    EXPECT_EQ(nullptr, third.journal());
    EXPECT_TRUE(unconfigured.entries().empty());

    // A storage directory that does not exist costs the journal, not the
    // service.
    CRecordingController missing;
    missing.config()->set_string("system.storage.path", storage / "missing");
    CLocalFDManager fourth(&missing);
    fourth.initManager();
    EXPECT_EQ(nullptr, fourth.journal());
    EXPECT_EQ(std::vector<std::string>{"Cannot keep the upload journal '" + storage / "missing/uploads.journal" +
                                       "'; temporary files that a crash leaves behind will not be removed. errno=" +
                                       std::to_string(ENOENT)},
              missing.entries());
}

} // namespace
