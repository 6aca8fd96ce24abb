#include "local_fs/local_path_resolver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "local_fs/atomic_upload_file.h"
#include "unit/plugins/local_fs/temp_dir.h"

namespace {

using localfs::CAtomicUploadFile;
using localfs::CLocalPathResolver;
using localfs_test::readFd;
using localfs_test::readFile;
using localfs_test::snapshot;
using localfs_test::TempDir;
using localfs_test::thrownErrno;
using localfs_test::writeFile;

// A base directory holding the virtual root and, beside it, an "outside"
// tree that no request may reach. The root holds ordinary files and every
// kind of symbolic link that could lead out.
class ResolverFixture : public ::testing::TestWithParam<CLocalPathResolver::resolve_mode> {
protected:
    void SetUp() override
    {
        root = base / "root";
        outside = base / "outside";
        mkdir(root.c_str(), 0755);
        mkdir(outside.c_str(), 0755);
        mkdir((root + "/etc").c_str(), 0755);
        mkdir((root + "/sub").c_str(), 0755);
        writeFile(outside + "/secret", "SECRET");
        writeFile(base / "x", "OUTSIDE-X");
        writeFile(root + "/file", "inside");
        writeFile(root + "/x", "inside-x");
        writeFile(root + "/etc/passwd", "root-passwd");
        writeFile(root + "/sub/inner", "inner");
        symlink("../outside/secret", (root + "/link_out_file").c_str());
        symlink((outside + "/secret").c_str(), (root + "/abs_link").c_str());
        symlink("/etc/passwd", (root + "/etc_link").c_str());
        symlink("../outside", (root + "/link_out_dir").c_str());
        symlink("chain2", (root + "/chain1").c_str());
        symlink("sub/../../outside/secret", (root + "/chain2").c_str());
        symlink("chain_in2", (root + "/chain_in1").c_str());
        symlink("file", (root + "/chain_in2").c_str());
        symlink("sub", (root + "/dirlink_in").c_str());
        symlink("/proc/self/root/etc/passwd", (root + "/proc_link").c_str());
        outsideBefore = snapshot(outside);
        outsideBefore["/x"] = readFile(base / "x");
    }

    std::map<std::string, std::string> outsideNow() const
    {
        auto now = snapshot(outside);
        now["/x"] = readFile(base / "x");
        return now;
    }

    CLocalPathResolver resolver(bool massage = false) const
    {
        CLocalPathResolver r(root);
        r.mode(GetParam());
        r.massageFilenames(massage);
        return r;
    }

    bool walkMode() const { return GetParam() == CLocalPathResolver::resolveWalk; }

    // Names that try to get out of the root one way or another.
    static std::vector<std::string> hostileNames()
    {
        std::vector<std::string> names = {
            "..", "../x", "a/../../x", "....//x", "..../x", "/../x", "//../x", "sub/../../x",
            "/etc/passwd", "..\\x", "sub\\..\\..\\x", "\\..\\outside\\secret", "./../x",
            "link_out_file", "abs_link", "etc_link", "link_out_dir/secret", "link_out_dir/../x",
            "chain1", "proc_link", "sub/..", "x\n", "\x01", "a\tb", std::string("file\0/../../x", 14),
            std::string("\0", 1), "", "/", "\x7f", "%2e%2e/x", ".%2e/x", "~/x",
            std::string(5000, 'a'), std::string(300, 'b'),
        };
        std::string deep;
        for (int i = 0; i < 1500; ++i) deep += "../";
        names.push_back(deep + "x");
        return names;
    }

    TempDir base;
    std::string root;
    std::string outside;
    std::map<std::string, std::string> outsideBefore;
};

INSTANTIATE_TEST_SUITE_P(Modes, ResolverFixture,
                         ::testing::Values(CLocalPathResolver::resolveAuto, CLocalPathResolver::resolveWalk),
                         [](const ::testing::TestParamInfo<CLocalPathResolver::resolve_mode>& info) {
                             return std::string(info.param == CLocalPathResolver::resolveAuto ? "Openat2" : "Walk");
                         });

TEST_P(ResolverFixture, ReadBatteryNeverReachesOutside)
{
    struct stat secret;
    ASSERT_EQ(0, stat((outside + "/secret").c_str(), &secret));
    struct stat outsideX;
    ASSERT_EQ(0, stat((base / "x").c_str(), &outsideX));
    for (bool massage : {false, true}) {
        const CLocalPathResolver r = resolver(massage);
        for (const std::string& name : hostileNames()) {
            SCOPED_TRACE("name '" + CLocalPathResolver::printableName(name) + "' massage " + std::to_string(massage));
            try {
                osk::CFileDescriptor fd = r.openRead(name);
                struct stat st;
                ASSERT_EQ(0, fstat(fd.get(), &st));
                EXPECT_FALSE(st.st_ino == secret.st_ino && st.st_dev == secret.st_dev);
                EXPECT_FALSE(st.st_ino == outsideX.st_ino && st.st_dev == outsideX.st_dev);
                const std::string content = readFd(fd.get());
                EXPECT_NE("SECRET", content);
                EXPECT_NE("OUTSIDE-X", content);
            } catch (const osk::CException& e) {
                EXPECT_NE(0, e.err_code()) << e.what();
            }
        }
    }
}

TEST_P(ResolverFixture, ReadRefusalsCarryTheRightError)
{
    const CLocalPathResolver r = resolver();
    auto openErr = [&](const std::string& name) { return thrownErrno([&] { r.openRead(name); }); };
    EXPECT_EQ(EACCES, openErr(".."));
    EXPECT_EQ(EACCES, openErr("../x"));
    EXPECT_EQ(EACCES, openErr("a/../../x"));
    EXPECT_EQ(EACCES, openErr("..\\x"));
    EXPECT_EQ(EACCES, openErr("sub/.."));
    EXPECT_EQ(EACCES, openErr("link_out_file"));
    EXPECT_EQ(EACCES, openErr("abs_link"));
    EXPECT_EQ(EACCES, openErr("link_out_dir/secret"));
    EXPECT_EQ(EACCES, openErr("chain1"));
    EXPECT_EQ(EACCES, openErr("proc_link"));
    // "...." is an ordinary (missing) name when names are not massaged.
    EXPECT_EQ(ENOENT, openErr("....//x"));
    EXPECT_EQ(EINVAL, openErr("x\n"));
    EXPECT_EQ(EINVAL, openErr(std::string("x\0y", 3)));
    EXPECT_EQ(EINVAL, openErr(std::string("file\0/../../x", 14)));
    EXPECT_EQ(EINVAL, openErr(""));
    EXPECT_EQ(EINVAL, openErr("/"));
    EXPECT_EQ(EINVAL, openErr("/./"));
    EXPECT_EQ(ENAMETOOLONG, openErr(std::string(5000, 'a')));
    EXPECT_EQ(ENAMETOOLONG, openErr(std::string(300, 'b')));
    EXPECT_EQ(ENOENT, openErr("missing"));
    EXPECT_EQ(ENOTDIR, openErr("file/x"));
    // Only regular files are served.
    EXPECT_EQ(EACCES, openErr("sub"));
    EXPECT_EQ(EACCES, openErr("/"  "etc/"));
    EXPECT_EQ(outsideBefore, outsideNow());
}

TEST_P(ResolverFixture, LeadingSlashAndBackslashesStayInsideTheRoot)
{
    const CLocalPathResolver r = resolver(true);
    EXPECT_EQ("root-passwd", readFd(r.openRead("/etc/passwd").get()));
    EXPECT_EQ("root-passwd", readFd(r.openRead("\\etc\\passwd").get()));
    EXPECT_EQ("root-passwd", readFd(r.openRead("//etc//./passwd").get()));
    EXPECT_EQ("inner", readFd(r.openRead("sub\\inner").get()));
    EXPECT_EQ("inside", readFd(r.openRead("./file").get()));
}

TEST_P(ResolverFixture, SymbolicLinksInsideTheRootFollowOnlyWithOpenat2)
{
    const CLocalPathResolver r = resolver();
    if (walkMode() || !CLocalPathResolver::haveOpenat2()) {
        // The fallback walk refuses every link.
        EXPECT_EQ(EACCES, thrownErrno([&] { r.openRead("chain_in1"); }));
        EXPECT_EQ(EACCES, thrownErrno([&] { r.openRead("dirlink_in/inner"); }));
    } else {
        EXPECT_EQ("inside", readFd(r.openRead("chain_in1").get()));
        EXPECT_EQ("inner", readFd(r.openRead("dirlink_in/inner").get()));
    }
}

TEST_P(ResolverFixture, FifoIsRefusedWithoutBlocking)
{
    ASSERT_EQ(0, mkfifo((root + "/fifo").c_str(), 0644));
    const CLocalPathResolver r = resolver();
    // Without O_NONBLOCK this open would wait for a writer forever.
    EXPECT_EQ(EACCES, thrownErrno([&] { r.openRead("fifo"); }));
}

TEST_P(ResolverFixture, WriteBatteryNeverCreatesOrChangesAnythingOutside)
{
    for (bool create : {false, true}) {
        for (bool massage : {false, true}) {
            CLocalPathResolver r = resolver(massage);
            r.createPaths(create);
            std::vector<std::string> names = hostileNames();
            names.push_back("link_out_dir/newfile");
            names.push_back("link_out_dir/deeper/newfile");
            names.push_back("chain1/newfile");
            for (const std::string& name : names) {
                SCOPED_TRACE("name '" + CLocalPathResolver::printableName(name) + "' create " +
                             std::to_string(create) + " massage " + std::to_string(massage));
                try {
                    std::string leaf;
                    osk::CFileDescriptor dir = r.openParent(name, leaf);
                    CAtomicUploadFile upload(dir.get(), leaf, 0644, true, true);
                    upload.write(0, "PWNED", 5);
                    upload.commit();
                } catch (const osk::CException& e) {
                    EXPECT_NE(0, e.err_code()) << e.what();
                }
                ASSERT_EQ(outsideBefore, outsideNow());
            }
        }
    }
    // The names that are harmless did land inside the root.
    EXPECT_EQ("PWNED", readFile(root + "/etc/passwd"));
    EXPECT_EQ("PWNED", readFile(root + "/..../x"));
    EXPECT_EQ("PWNED", readFile(root + "/%2e%2e/x"));
    EXPECT_EQ("SECRET", readFile(outside + "/secret"));
}

TEST_P(ResolverFixture, UploadOverALinkReplacesTheLinkNotItsTarget)
{
    const CLocalPathResolver r = resolver();
    std::string leaf;
    osk::CFileDescriptor dir = r.openParent("/link_out_file", leaf);
    EXPECT_EQ("link_out_file", leaf);
    CAtomicUploadFile upload(dir.get(), leaf, 0644, true, true);
    upload.write(0, "replaced", 8);
    upload.commit();
    struct stat st;
    ASSERT_EQ(0, lstat((root + "/link_out_file").c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ("replaced", readFile(root + "/link_out_file"));
    EXPECT_EQ("SECRET", readFile(outside + "/secret"));
}

TEST_P(ResolverFixture, CreatePathsMakesNestedDirectoriesInsideTheRootOnly)
{
    localfs_test::ScopedUmask mask(077);
    CLocalPathResolver r = resolver();
    std::string leaf;
    EXPECT_EQ(ENOENT, thrownErrno([&] { r.openParent("a/b/c/file", leaf); }));
    EXPECT_NE(0, access((root + "/a").c_str(), F_OK));

    r.createPaths(true);
    r.dirPerms(CLocalPathResolver::dirPermsFor(0640));
    EXPECT_EQ(mode_t(0750), r.dirPerms());
    osk::CFileDescriptor dir = r.openParent("/a/b\\c/file", leaf);
    EXPECT_EQ("file", leaf);
    for (const char* made : {"/a", "/a/b", "/a/b/c"}) {
        struct stat st;
        ASSERT_EQ(0, lstat((root + made).c_str(), &st)) << made;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << made;
        EXPECT_EQ(mode_t(0750), st.st_mode & 07777) << made;
    }
    CAtomicUploadFile upload(dir.get(), leaf, 0640, false, true);
    upload.write(0, "new", 3);
    upload.commit();
    EXPECT_EQ("new", readFile(root + "/a/b/c/file"));

    // An existing part of the path is reused; a file in the way is an error.
    EXPECT_NO_THROW(r.openParent("a/b/d/file", leaf));
    EXPECT_EQ(ENOTDIR, thrownErrno([&] { r.openParent("file/d/x", leaf); }));
    // Links out of the root are never created through.
    EXPECT_EQ(EACCES, thrownErrno([&] { r.openParent("link_out_dir/made/x", leaf); }));
    EXPECT_EQ(EACCES, thrownErrno([&] { r.openParent("new/../../made/x", leaf); }));
    EXPECT_NE(0, access((outside + "/made").c_str(), F_OK));
    EXPECT_NE(0, access((base / "made").c_str(), F_OK));
    EXPECT_EQ(outsideBefore, outsideNow());
}

TEST(LocalPathResolverTest, NormaliseNameCanonicalForm)
{
    EXPECT_EQ("a/b/c", CLocalPathResolver::normaliseName("/a//b/./c", true));
    EXPECT_EQ("a/b", CLocalPathResolver::normaliseName("\\a\\b", true));
    EXPECT_EQ("pxelinux.cfg/01-aa-bb-cc-dd-ee-ff",
              CLocalPathResolver::normaliseName("pxelinux.cfg/01-aa-bb-cc-dd-ee-ff", true));
    EXPECT_EQ("dir", CLocalPathResolver::normaliseName("dir/", true));
    EXPECT_EQ(".hidden/..x/x..", CLocalPathResolver::normaliseName(".hidden/..x/x..", true));
}

TEST(LocalPathResolverTest, MassagingRefusesSuspiciousNamesOnly)
{
    for (const char* name : {"...", "a/..../b", " lead", "trail ", "a/b /c", "wild*", "q?", "p|q", "r<s", "t>u",
                             "\"quoted\""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(EACCES, thrownErrno([&] { CLocalPathResolver::normaliseName(name, true); }));
        EXPECT_EQ(-1, thrownErrno([&] { CLocalPathResolver::normaliseName(name, false); }));
    }
    // Parent references and control characters are refused either way.
    EXPECT_EQ(EACCES, thrownErrno([] { CLocalPathResolver::normaliseName("a/../b", false); }));
    EXPECT_EQ(EINVAL, thrownErrno([] { CLocalPathResolver::normaliseName("a\rb", false); }));
}

TEST(LocalPathResolverTest, MessagesShowNamesWithoutControlBytes)
{
    EXPECT_EQ("a\\x01b\\x7f", CLocalPathResolver::printableName("a\x01" "b\x7f"));
    EXPECT_EQ(203u, CLocalPathResolver::printableName(std::string(1000, 'n')).size());
    try {
        CLocalPathResolver::normaliseName("evil\r\nLOG", true);
        FAIL() << "no exception";
    } catch (const osk::CException& e) {
        EXPECT_EQ("Invalid file name 'evil\\x0d\\x0aLOG'. (The file name contains control characters.)",
                  e.printableError());
        EXPECT_EQ("local_fs", e.module());
        EXPECT_EQ(EINVAL, e.err_code());
    }
}

TEST(LocalPathResolverTest, MissingRootIsReported)
{
    TempDir base;
    EXPECT_EQ(ENOENT, thrownErrno([&] { CLocalPathResolver r(base / "nope"); }));
    writeFile(base / "plain", "x");
    EXPECT_EQ(ENOTDIR, thrownErrno([&] { CLocalPathResolver r(base / "plain"); }));
    EXPECT_EQ(EINVAL, thrownErrno([&] { CLocalPathResolver r(""); }));
}

} // namespace
