#include "local_fs/local_fd_manager.h"
#include "local_fs/local_fd_manager_factory.h"
#include "local_fs/local_path_resolver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tftp/tftp_interfaces/i_descriptor.h"
#include "tftp/tftp_server/state.h"
#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CLocalFDManager;
using localfs_test::readFile;
using localfs_test::ScopedUmask;
using localfs_test::snapshot;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
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
    CState transfer(const std::string& requested, bool download, bool binary, uint64_t blksize = 512)
    {
        CState state(1, download ? CState::send_data : CState::send_ack, osk::CEndpoint("10.0.0.9:4000"), 1000000,
                     blksize);
        state.transmitting = download;
        state.binary = binary;
        state.reqFile = requested;
        fdm.normaliseName(state.srcEndpoint, tmp.path(), state.reqFile);
        state.fqpn = tmp.path() + state.reqFile;
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

TEST(LocalFDManagerRootTest, RootIsTakenFromTheFullName)
{
    EXPECT_EQ("/srv/tftp", CLocalFDManager::rootOf("/srv/tftp/a/b", "a/b"));
    EXPECT_EQ("/srv/tftp", CLocalFDManager::rootOf("/srv/tftp//a/b", "a/b"));
    EXPECT_EQ("/", CLocalFDManager::rootOf("/a", "a"));
    EXPECT_EQ(EACCES, thrownErrno([] { CLocalFDManager::rootOf("/srv/tftpa/b", "a/b"); }));
    EXPECT_EQ(EACCES, thrownErrno([] { CLocalFDManager::rootOf("/srv/x", "y"); }));
}

} // namespace
