// The controller's process set-up: pid file, open-file limit, private key,
// shared server key, changed root and dropped privileges. Changing the root
// or the ids cannot be undone, so those run in forked children.
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extended/config.h"
#include "security/blowfish.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

namespace {

using host_test::TempDir;

class ProcessSetupTest : public ::testing::Test {
protected:
    ProcessSetupTest() : config(new osk::CConfig("", "", "")) { controller.config(config); }

    TempDir tmp;
    zelvo_test::CTestController controller;
    osk::CConfigPtr config;
};

// ------------------------------------------------------------------ pid file

TEST_F(ProcessSetupTest, PidFileHoldsTheProcessIdAndIsDeletedAgain)
{
    controller.runDir(tmp.path());
    controller.createPidFile();
    const std::string file = tmp / "zelvo-test.pid";
    EXPECT_EQ(std::to_string(getpid()), host_test::readFile(file));
    // Our own pid file does not stop a second start of this process.
    controller.createPidFile();
    controller.deletePidFile();
    EXPECT_FALSE(host_test::exists(file));
    controller.deletePidFile();  // nothing left to delete

    controller.createPidFile(tmp / "explicit.pid");
    EXPECT_EQ(std::to_string(getpid()), host_test::readFile(tmp / "explicit.pid"));
}

TEST_F(ProcessSetupTest, PidFileOfARunningProcessIsRefused)
{
    const std::string file = tmp / "zelvo.pid";
    host_test::writeFile(file, "1");  // init is always running
    const osk::CException failure = host_test::thrown([&] { controller.createPidFile(file); });
    EXPECT_EQ("Process '1' appears to be running already.", failure.whatMsg().formatted());
    EXPECT_EQ("If the process is not running, remove the pid file '" + file + "' and try again.",
              failure.whyMsg().formatted());
    EXPECT_EQ("1", host_test::readFile(file));
    controller.deletePidFile();  // it was never ours
    EXPECT_TRUE(host_test::exists(file));
}

TEST_F(ProcessSetupTest, OrphanedOrUnreadablePidFilesAreReplaced)
{
    // A process that has come and gone.
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    ASSERT_EQ(gone, waitpid(gone, nullptr, 0));

    const std::string file = tmp / "zelvo.pid";
    for (const std::string& stale : {std::to_string(gone), std::string("garbage"), std::string(""),
                                     std::string("0"), std::string("-5"), std::string("99999999999")}) {
        host_test::writeFile(file, stale);
        controller.createPidFile(file);
        EXPECT_EQ(std::to_string(getpid()), host_test::readFile(file)) << "stale content '" << stale << "'";
    }
}

TEST_F(ProcessSetupTest, PidFilePathsThatCannotHoldAFileAreRefused)
{
    osk::CException failure = host_test::thrown([&] { controller.createPidFile(tmp.path()); });
    EXPECT_EQ("Failed to create a pid file.", failure.whatMsg().formatted());
    EXPECT_EQ("Path '" + tmp.path() + "' is a directory.", failure.whyMsg().formatted());

    const std::string nowhere = tmp / "no/such/dir.pid";
    failure = host_test::thrown([&] { controller.createPidFile(nowhere); });
    EXPECT_EQ("Failed to create a pid file.", failure.whatMsg().formatted());
    EXPECT_EQ("Failed to open pid file '" + nowhere + "'.", failure.whyMsg().formatted());
    EXPECT_EQ(ENOENT, failure.err_code());

    // A link in the pid file's place is not followed: it is replaced.
    ASSERT_EQ(0, symlink((tmp / "target").c_str(), (tmp / "link.pid").c_str()));
    controller.createPidFile(tmp / "link.pid");
    EXPECT_FALSE(host_test::exists(tmp / "target"));
    struct stat info;
    ASSERT_EQ(0, lstat((tmp / "link.pid").c_str(), &info));
    EXPECT_TRUE(S_ISREG(info.st_mode));
}

// --------------------------------------------------------- open-file limit

TEST_F(ProcessSetupTest, OpenFileLimitRefusesZeroAndLimitsBeyondTheSystemCeiling)
{
    osk::CException failure = host_test::thrown([&] { controller.setOpenFileLimit(0); });
    EXPECT_EQ("Cannot set max open file limit to 0.", failure.whatMsg().formatted());

    // Not even a privileged process may go beyond fs.nr_open.
    long ceiling = 0;
    std::ifstream("/proc/sys/fs/nr_open") >> ceiling;
    ASSERT_GT(ceiling, 0);
    if (ceiling < 0x7fffffffL) {
        const int beyond = static_cast<int>(ceiling + 1);
        failure = host_test::thrown([&] { controller.setOpenFileLimit(beyond); });
        EXPECT_EQ("Cannot increase max open files limit to " + std::to_string(beyond) + ".",
                  failure.whatMsg().formatted());
        EXPECT_EQ(EPERM, failure.err_code());
    }
    failure = host_test::thrown([&] { controller.setOpenFileLimit(-3); });
    EXPECT_EQ("Cannot increase max open files limit to -3.", failure.whatMsg().formatted());
    EXPECT_TRUE(controller.entries().empty());
}

TEST_F(ProcessSetupTest, OpenFileLimitIsSetAndTheLimitsInForceAreLogged)
{
    struct rlimit before;
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &before));
    ASSERT_GT(before.rlim_cur, 64u);
    const int lower = static_cast<int>(before.rlim_cur - 1);
    controller.setOpenFileLimit(lower);
    struct rlimit now;
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &now));
    EXPECT_EQ(static_cast<rlim_t>(lower), now.rlim_cur);
    controller.setOpenFileLimit(static_cast<int>(before.rlim_cur));
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &now));
    EXPECT_EQ(before.rlim_cur, now.rlim_cur);
    const std::string hard = now.rlim_max == RLIM_INFINITY ? std::to_string(static_cast<uint64_t>(RLIM_INFINITY))
                                                           : std::to_string(now.rlim_max);
    EXPECT_EQ((std::vector<std::string>{
                  "info: Max open file limits are: " + std::to_string(lower) + " soft, " + hard + " hard.",
                  "info: Max open file limits are: " + std::to_string(before.rlim_cur) + " soft, " + hard + " hard."}),
              controller.entries());
}

// ------------------------------------------------------------- private key

TEST_F(ProcessSetupTest, PrivateKeyFileIsCreatedWithGroupAccessAndKeptAfterwards)
{
    config->set_string("rconsole.private_key_path", tmp.path());
    config->set_string("rconsole.private_key_file", "console.key");
    const mode_t old = umask(077);  // the key's mode does not depend on it
    controller.initPrivateKey();
    umask(old);

    const std::string file = tmp / "console.key";
    struct stat info;
    ASSERT_EQ(0, stat(file.c_str(), &info));
    EXPECT_EQ(0660u, info.st_mode & 07777);
    const std::string key = host_test::readFile(file);
    ASSERT_EQ(1024u, key.size());

    // A second start keeps the key, and the key read back keys the same
    // cipher as its bytes.
    controller.initPrivateKey();
    EXPECT_EQ(key, host_test::readFile(file));
    osk::CBlowfish fromFile, fromBytes;
    fromFile.init_from_file(tmp.path(), "console.key", 1024);
    fromBytes.init(key.data(), key.size());
    uint64_t a = 0x0123456789abcdefULL, b = a;
    fromFile.encrypt(&a, sizeof(a));
    fromBytes.encrypt(&b, sizeof(b));
    EXPECT_EQ(a, b);
    EXPECT_NE(0x0123456789abcdefULL, a);
}

TEST_F(ProcessSetupTest, PrivateKeyDefaultsToItsFileInTheVariableDataDirectoryAndRejectsShortKeys)
{
    controller.varDir(tmp.path());
    controller.initPrivateKey();
    EXPECT_EQ(1024u, host_test::readFile(tmp / "private_key.bin").size());

    host_test::writeFile(tmp / "short.bin", "0123456789");
    config->set_string("rconsole.private_key_file", "short.bin");
    host_test::thrown([&] { controller.initPrivateKey(); });
    EXPECT_EQ("0123456789", host_test::readFile(tmp / "short.bin"));
}

// One block enciphered by a copy of the cipher (the copy is spent).
uint64_t enciphered(osk::CBlowfish cipher)
{
    uint64_t block = 0x0123456789abcdefULL;
    cipher.encrypt(&block, sizeof(block));
    return block;
}

osk::CBlowfish keyedWith(const std::string& key)
{
    osk::CBlowfish cipher;
    cipher.init(key.data(), key.size());
    return cipher;
}

TEST_F(ProcessSetupTest, PasswordCipherUsesTheKeyReadAtTheStartWithoutTheFile)
{
    config->set_string("rconsole.private_key_path", tmp.path());
    controller.initPrivateKey();
    const std::string key = host_test::readFile(tmp / "private_key.bin");
    // The file gone (or unreadable, after the privileges are dropped): the
    // kept key still serves, and no new key replaces it.
    ASSERT_EQ(0, unlink((tmp / "private_key.bin").c_str()));
    EXPECT_EQ(enciphered(keyedWith(key)), enciphered(controller.passwordCipher()));
    EXPECT_FALSE(host_test::exists(tmp / "private_key.bin"));
}

TEST_F(ProcessSetupTest, PasswordCipherReadsTheNamedFileOnFirstUseAndWhenAnotherIsNamed)
{
    // A controller that never started reads (and makes) the key on first use.
    config->set_string("rconsole.private_key_path", tmp.path());
    const uint64_t first = enciphered(controller.passwordCipher());
    const std::string key = host_test::readFile(tmp / "private_key.bin");
    EXPECT_EQ(enciphered(keyedWith(key)), first);

    const std::string other(1024, 'k');
    host_test::writeFile(tmp / "other.bin", other);
    config->set_string("rconsole.private_key_file", "other.bin");
    EXPECT_EQ(enciphered(keyedWith(other)), enciphered(controller.passwordCipher()));

    // A named file that is no key is refused, and the key kept so far stays.
    host_test::writeFile(tmp / "short.bin", "0123456789");
    config->set_string("rconsole.private_key_file", "short.bin");
    host_test::thrown([&] { controller.passwordCipher(); });
    host_test::thrown([&] { controller.initPrivateKey(); });
    config->set_string("rconsole.private_key_file", "other.bin");
    EXPECT_EQ(enciphered(keyedWith(other)), enciphered(controller.passwordCipher()));
}

TEST_F(ProcessSetupTest, PasswordCipherServesAfterThePrivilegesAreDroppedInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "dropping privileges needs root";
    config->set_string("rconsole.private_key_path", tmp.path());
    controller.initPrivateKey();
    const uint64_t expected = enciphered(keyedWith(host_test::readFile(tmp / "private_key.bin")));
    ASSERT_EQ(0, chmod((tmp / "private_key.bin").c_str(), 0600));
    config->set_string("system.priv.gid", "65534");
    config->set_string("system.priv.uid", "65534");
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  if (access((tmp / "private_key.bin").c_str(), R_OK) == 0) return 1;
                  try {
                      return enciphered(controller.passwordCipher()) == expected ? 0 : 2;
                  } catch (const osk::CException&) {
                      return 3;
                  }
              }));
}

// ------------------------------------------------------- shared server key

TEST_F(ProcessSetupTest, SharedServerKeyWithoutConfigurationIsTheBuiltInOneAndSaysSo)
{
    zelvo_test::CTestController other;
    const osk::CMasterController::server_key_t key = controller.sharedServerKey();
    EXPECT_EQ(key, other.sharedServerKey());
    EXPECT_NE(osk::CMasterController::server_key_t{}, key);
    EXPECT_EQ((std::vector<std::string>{"warning: The config file does not define a shared server key "
                                        "('system.shared_key'). A default value will be used."}),
              controller.entries());
}

TEST_F(ProcessSetupTest, SharedServerKeyComesFromTheConfiguration)
{
    config->set_string("system.shared_key", "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF");
    const osk::CMasterController::server_key_t full = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                                       0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    EXPECT_EQ(full, controller.sharedServerKey());
    EXPECT_TRUE(controller.entries().empty());

    config->set_string("system.shared_key", "AB-CD");
    const osk::CMasterController::server_key_t shortKey = {0xab, 0xcd};
    EXPECT_EQ(shortKey, controller.sharedServerKey());

    config->set_string("system.shared_key", "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF-01-02");
    EXPECT_EQ(full, controller.sharedServerKey());

    config->set_string("system.shared_key", "not-hex");
    host_test::thrown([&] { controller.sharedServerKey(); });
}

// -------------------------------------------------- changed root, ids (root)

TEST_F(ProcessSetupTest, NothingIsChangedWithoutRootOrIdKeys)
{
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    controller.setChroot(config);
    controller.setPrivileges(config);
    EXPECT_EQ(uid, getuid());
    EXPECT_EQ(gid, getgid());
    EXPECT_TRUE(controller.entries().empty());
}

TEST_F(ProcessSetupTest, ChangingToAMissingRootIsRefused)
{
    const std::string missing = tmp / "missing";
    config->set_string("system.priv.chroot_path", missing);
    const osk::CException failure = host_test::thrown([&] { controller.setChroot(config); });
    EXPECT_EQ("Cannot change root to directory '" + missing + "'.", failure.whatMsg().formatted());
    EXPECT_NE(0, failure.err_code());
}

TEST_F(ProcessSetupTest, ChangedRootIsInForceInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "changing the root needs root";
    host_test::writeFile(tmp / "marker", "inside");
    config->set_string("system.priv.chroot_path", tmp.path());
    const std::string done = "info: This process has changed root to directory '" + tmp.path() + "'.";
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setChroot(config);
                  if (!host_test::exists("/marker")) return 1;
                  if (controller.entries() != std::vector<std::string>{done}) return 2;
                  return 0;
              }));
}

TEST_F(ProcessSetupTest, PrivilegesAreDroppedGroupFirstInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "dropping privileges needs root";
    config->set_string("system.priv.gid", "65534");
    config->set_string("system.priv.uid", "65534");
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  if (getuid() != 65534 || geteuid() != 65534) return 1;
                  if (getgid() != 65534 || getegid() != 65534) return 2;
                  // Root's supplementary groups are gone too.
                  gid_t groups[8];
                  const int count = getgroups(8, groups);
                  if (count != 1 || groups[0] != 65534) return 3;
                  const std::vector<std::string> expected{"info: Group id for this process is now '65534'.",
                                                          "info: User id for this process is now '65534'."};
                  if (controller.entries() != expected) return 4;
                  return 0;
              }));
}

TEST_F(ProcessSetupTest, UnknownUserOrGroupNamesAreRefusedBeforeAnythingChanges)
{
    const uid_t uid = getuid();
    config->set_string("system.priv.user", "no-such-user-zelvo");
    osk::CException failure = host_test::thrown([&] { controller.setPrivileges(config); });
    EXPECT_EQ("Cannot find the user 'no-such-user-zelvo' named by 'system.priv.user'.", failure.whatMsg().formatted());
    EXPECT_EQ("The system's user and group databases do not list it.", failure.whyMsg().formatted());
    config->erase("system.priv.user");
    config->set_string("system.priv.group", "no-such-group-zelvo");
    failure = host_test::thrown([&] { controller.setPrivileges(config); });
    EXPECT_EQ("Cannot find the group 'no-such-group-zelvo' named by 'system.priv.group'.",
              failure.whatMsg().formatted());
    EXPECT_EQ(uid, getuid());
    EXPECT_TRUE(controller.entries().empty());
}

TEST_F(ProcessSetupTest, NamedUserBringsItsOwnGroupUnlessAGroupIsNamedInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "dropping privileges needs root";
    const passwd* nobody = getpwnam("nobody");
    const group* daemonGroup = getgrnam("daemon");
    if (!nobody || !daemonGroup) GTEST_SKIP() << "needs the user nobody and the group daemon";
    const uid_t nobodyUid = nobody->pw_uid;
    const gid_t nobodyGid = nobody->pw_gid;
    const gid_t daemonGid = daemonGroup->gr_gid;
    config->set_string("system.priv.user", "nobody");
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  if (getuid() != nobodyUid || getgid() != nobodyGid) return 1;
                  return 0;
              }));
    config->set_string("system.priv.group", "daemon");
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  if (getuid() != nobodyUid || getgid() != daemonGid) return 1;
                  return 0;
              }));
    // A number key wins over its name.
    config->set_string("system.priv.gid", std::to_string(nobodyGid));
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  return getgid() == nobodyGid ? 0 : 1;
              }));
}

TEST_F(ProcessSetupTest, WhatRootMadeInTheUsersStorageDirectoryGoesToTheUserInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "dropping privileges needs root";
    const std::string storage = tmp / "storage";
    ASSERT_EQ(0, mkdir(storage.c_str(), 0750));
    ASSERT_EQ(0, mkdir((storage + "/lock").c_str(), 0770));
    host_test::writeFile(storage + "/zelvo.fdb", "db");
    host_test::writeFile(storage + "/lock/fb_lock", "lock");
    host_test::writeFile(tmp / "outside", "not the service's");
    ASSERT_EQ(0, symlink((tmp / "outside").c_str(), (storage + "/link").c_str()));
    host_test::writeFile(storage + "/someone_elses", "kept");
    ASSERT_EQ(0, chown((storage + "/someone_elses").c_str(), 1, 1));
    controller.varDir(storage);
    config->set_string("system.priv.gid", "65534");
    config->set_string("system.priv.uid", "65534");
    const auto owner = [](const std::string& path) {
        struct stat info;
        return lstat(path.c_str(), &info) == 0 ? std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid)
                                               : std::string("missing");
    };

    // A storage directory of root's is not the service's own: nothing moves.
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  return 0;
              }));
    EXPECT_EQ("0:0", owner(storage + "/zelvo.fdb"));

    ASSERT_EQ(0, chown(storage.c_str(), 65534, 65534));
    ASSERT_EQ(0, chmod(tmp.path().c_str(), 0755));  // the user reaches its directory
    EXPECT_EQ(0, host_test::inChild([&] {
                  controller.setPrivileges(config);
                  // The dropped process can open what the start made.
                  return access((storage + "/lock/fb_lock").c_str(), R_OK | W_OK) == 0 ? 0 : 1;
              }));
    EXPECT_EQ("65534:65534", owner(storage + "/zelvo.fdb"));
    EXPECT_EQ("65534:65534", owner(storage + "/lock"));
    EXPECT_EQ("65534:65534", owner(storage + "/lock/fb_lock"));
    // A link is changed itself, what it points to stays root's.
    EXPECT_EQ("65534:65534", owner(storage + "/link"));
    EXPECT_EQ("0:0", owner(tmp / "outside"));
    EXPECT_EQ("1:1", owner(storage + "/someone_elses"));
}

TEST_F(ProcessSetupTest, PrivilegesCannotBeRegainedInAChildProcess)
{
    if (geteuid() != 0) GTEST_SKIP() << "dropping privileges needs root";
    EXPECT_EQ(0, host_test::inChild([&] {
                  if (setgid(65534) != 0 || setuid(65534) != 0) return 1;
                  config->set_string("system.priv.uid", "0");
                  try {
                      controller.setPrivileges(config);
                      return 2;
                  } catch (const osk::CException& failure) {
                      if (failure.whatMsg().formatted() != "Failed to set user id '0' while dropping privileges.")
                          return 3;
                      if (failure.err_code() != EPERM) return 4;
                  }
                  config->set_string("system.priv.gid", "0");
                  try {
                      controller.setPrivileges(config);
                      return 5;
                  } catch (const osk::CException& failure) {
                      if (failure.whatMsg().formatted() != "Failed to set group id '0' while dropping privileges.")
                          return 6;
                  }
                  return controller.entries().empty() ? 0 : 7;
              }));
}

} // namespace
