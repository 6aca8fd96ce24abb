#include "extended/config.h"
#include "extended/config_names.h"
#include "extended/config_values.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "extended/exception.h"
#include "support/temp_dir.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CConfig;

// A fresh directory for each test, removed afterwards.
class ConfigTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return tmp / name; }
    void writeFile(const std::string& name, const std::string& text) const
    {
        test_support::writeFile(path(name), text);
    }
    std::string readFile(const std::string& name) const { return test_support::readFile(path(name)); }
    bool exists(const std::string& name) const { return ::access(path(name).c_str(), F_OK) == 0; }
    struct stat status(const std::string& name) const
    {
        struct stat info {};
        EXPECT_EQ(0, ::lstat(path(name).c_str(), &info)) << name;
        return info;
    }
    // The names in the directory (or its sub-directory), hidden ones
    // included, one a line.
    std::string listing(const std::string& sub = std::string()) const
    {
        std::string names;
        const std::string command = "ls -A '" + (sub.empty() ? dir : path(sub)) + "'";
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[256];
        while (pipe && std::fgets(buffer, sizeof(buffer), pipe)) names += buffer;
        if (pipe) ::pclose(pipe);
        return names;
    }

    test_support::TempDir tmp;
    const std::string dir = tmp.path();
};

TEST_F(ConfigTest, ReadSkipsBlankLinesAndTrims)
{
    writeFile("a.conf", "a=1\n\nb = 2\n#note\n");
    CConfig config("1.0", "7", path("a.conf"));
    ASSERT_TRUE(config.read(""));
    EXPECT_EQ("1", config.get_string("a"));
    EXPECT_EQ("2", config.get_string("b"));
    // No comment syntax: the line is a key of its own.
    EXPECT_TRUE(config.defined("#note"));
    EXPECT_EQ(3u, config.size());
}

TEST_F(ConfigTest, ReadReplacesEntriesAndPath)
{
    writeFile("a.conf", "a=1\n");
    writeFile("b.conf", "b=2\n");
    CConfig config("1.0", "7", path("a.conf"));
    ASSERT_TRUE(config.read(""));
    ASSERT_TRUE(config.read(path("b.conf")));
    EXPECT_EQ(path("b.conf"), config.fqpn());
    EXPECT_FALSE(config.defined("a"));
    EXPECT_FALSE(config.read(path("missing.conf")));
    CConfig unbound("1.0", "7", "");
    EXPECT_FALSE(unbound.read(""));
    EXPECT_FALSE(unbound.write(""));
}

TEST_F(ConfigTest, WriteAndReadBackKeepsEveryKeyAndValue)
{
    CConfig config("2.1", "99", path("out.conf"));
    config.set_string("system.db.name", "prov");
    config.set_string("expr", "a=b && c==d");
    config.set_int32("rconsole.port", 7000);
    config.set_msec("timeout", 250);
    config.set_string("empty", "");
    ASSERT_TRUE(config.write(""));
    // No temporary file is left beside it.
    EXPECT_EQ("out.conf\n", listing());
    CConfig back("2.1", "99", path("out.conf"));
    ASSERT_TRUE(back.read(""));
    EXPECT_EQ(static_cast<const osk::CStringMap&>(config), static_cast<const osk::CStringMap&>(back));
    EXPECT_EQ(250000ul, back.get_usec("timeout", 0));
    EXPECT_FALSE(config.write(dir + "/no/such/dir/x.conf"));
}

// The configuration holds passwords and names the libraries the daemon
// loads: rewriting it must not widen who may read or change it, and the
// daemon clears its umask at start.
class UmaskZero {
public:
    UmaskZero() : _saved(::umask(0)) {}
    ~UmaskZero() { ::umask(_saved); }

private:
    mode_t _saved;
};

TEST_F(ConfigTest, WriteKeepsTheModeAndOwnerOfTheFileItReplaces)
{
    const UmaskZero umaskZero;
    writeFile("main.conf", "a=1\n");
    ASSERT_EQ(0, ::chmod(path("main.conf").c_str(), 0600));
    CConfig config("1.0", "7", path("main.conf"));
    ASSERT_TRUE(config.read(""));
    config.set_string("rconsole.password", "11-22");
    ASSERT_TRUE(config.write(""));
    EXPECT_EQ(0600u, status("main.conf").st_mode & 07777);
    EXPECT_EQ("a=1\nrconsole.password=11-22\n", readFile("main.conf"));

    ASSERT_EQ(0, ::chmod(path("main.conf").c_str(), 0640));
    ASSERT_TRUE(config.write(""));
    EXPECT_EQ(0640u, status("main.conf").st_mode & 07777);

    if (::geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
    ASSERT_EQ(0, ::chown(path("main.conf").c_str(), 4321, 4322));
    config.set_string("b", "2");
    ASSERT_TRUE(config.write(""));
    const struct stat after = status("main.conf");
    EXPECT_EQ(4321u, after.st_uid);
    EXPECT_EQ(4322u, after.st_gid);
    EXPECT_EQ(0640u, after.st_mode & 07777);
    EXPECT_EQ("main.conf\n", listing());
}

TEST_F(ConfigTest, WriteCreatesANewFileReadableByItsOwnerOnly)
{
    const UmaskZero umaskZero;
    CConfig config("1.0", "7", path("new.conf"));
    config.set_string("a", "1");
    ASSERT_TRUE(config.write(""));
    EXPECT_EQ(0600u, status("new.conf").st_mode & 07777);
}

TEST_F(ConfigTest, WriteThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink)
{
    ASSERT_EQ(0, ::mkdir(path("etc").c_str(), 0755));
    writeFile("etc/real.conf", "a=1\n");
    ASSERT_EQ(0, ::chmod(path("etc/real.conf").c_str(), 0600));
    ASSERT_EQ(0, ::symlink("etc/real.conf", path("link.conf").c_str()));
    CConfig config("1.0", "7", path("link.conf"));
    ASSERT_TRUE(config.read(""));
    config.set_string("b", "2");
    ASSERT_TRUE(config.write(""));
    EXPECT_TRUE(S_ISLNK(status("link.conf").st_mode));
    EXPECT_EQ("a=1\nb=2\n", readFile("etc/real.conf"));
    EXPECT_EQ(0600u, status("etc/real.conf").st_mode & 07777);

    // A link that leads nowhere is not replaced by a file.
    ASSERT_EQ(0, ::symlink("etc/missing.conf", path("dangling.conf").c_str()));
    EXPECT_FALSE(config.write(path("dangling.conf")));
    EXPECT_TRUE(S_ISLNK(status("dangling.conf").st_mode));
    EXPECT_FALSE(exists("etc/missing.conf"));
}

TEST_F(ConfigTest, WriteInADirectoryItMayNotChangeFailsWithTheReasonAndKeepsTheFile)
{
    ASSERT_EQ(0, ::mkdir(path("locked").c_str(), 0755));
    writeFile("locked/main.conf", "a=1\n");
    ASSERT_EQ(0, ::chmod(path("locked/main.conf").c_str(), 0666));
    ASSERT_EQ(0, ::chmod(path("locked").c_str(), 0555));
    // Root may write anywhere: the write runs in a child that gives root up.
    const pid_t child = ::fork();
    ASSERT_LE(0, child);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        CConfig config("1.0", "7", path("locked/main.conf"));
        config.set_string("a", "2");
        const bool written = config.write("");
        ::_exit(!written && errno == EACCES ? 0 : 1);
    }
    int result = 0;
    ASSERT_EQ(child, ::waitpid(child, &result, 0));
    ASSERT_TRUE(WIFEXITED(result));
    EXPECT_EQ(0, WEXITSTATUS(result)) << "the write succeeded or failed for another reason";
    EXPECT_EQ("a=1\n", readFile("locked/main.conf"));
    EXPECT_EQ(0666u, status("locked/main.conf").st_mode & 07777);
    EXPECT_EQ("main.conf\n", listing("locked"));
    ::chmod(path("locked").c_str(), 0755);
}

// What a write that a crash cut short leaves: a temporary that nobody holds.
TEST_F(ConfigTest, RemoveInterruptedWritesTakesOnlyUnlockedTemporariesOfTheFile)
{
    ASSERT_EQ(0, ::mkdir(path("etc").c_str(), 0755));
    writeFile("etc/real.conf", "a=1\n");
    ASSERT_EQ(0, ::symlink("etc/real.conf", path("link.conf").c_str()));
    writeFile("etc/.real.conf.write-Ab3xYz", "a=2\n");   // an orphan beside the file the link leads to
    writeFile("etc/.real.conf.write-Busy01", "a=3\n");   // a write in progress elsewhere
    writeFile("etc/.real.conf.write-toolong", "x\n");    // not a name write() makes
    writeFile("etc/.other.conf.write-Ab3xYz", "x\n");    // another file's
    writeFile(".link.conf.write-Ab3xYz", "x\n");         // beside the link, not the file
    ASSERT_EQ(0, ::mkdir(path("etc/.real.conf.write-Dir000").c_str(), 0755));
    const int busy = ::open(path("etc/.real.conf.write-Busy01").c_str(), O_RDONLY);
    ASSERT_LE(0, busy);
    ASSERT_EQ(0, ::flock(busy, LOCK_EX));

    CConfig config("1.0", "7", path("link.conf"));
    EXPECT_EQ(std::vector<std::string>{path("etc/.real.conf.write-Ab3xYz")}, config.removeInterruptedWrites());
    EXPECT_EQ(".other.conf.write-Ab3xYz\n.real.conf.write-Busy01\n.real.conf.write-Dir000\n"
              ".real.conf.write-toolong\nreal.conf\n",
              listing("etc"));
    EXPECT_TRUE(exists(".link.conf.write-Ab3xYz"));

    // Once its writer is gone, the other one is an orphan too.
    ::close(busy);
    EXPECT_EQ(std::vector<std::string>{path("etc/.real.conf.write-Busy01")}, config.removeInterruptedWrites());
    EXPECT_EQ("a=1\n", readFile("etc/real.conf"));
}

TEST_F(ConfigTest, AWriteInProgressIsNotTakenForAnOrphan)
{
    writeFile("main.conf", "a=1\n");
    CConfig config("1.0", "7", path("main.conf"));
    ASSERT_TRUE(config.read(""));
    // Another process starting while this one writes: its clean-up runs over
    // and over while the writes go on.
    config.set_string("b", std::string(1000, 'v'));
    std::atomic<bool> done{false};
    std::atomic<int> removed{0};
    std::thread cleaner([&] {
        const CConfig other("1.0", "7", path("main.conf"));
        while (!done) removed += static_cast<int>(other.removeInterruptedWrites().size());
    });
    int written = 0;
    for (int i = 0; i < 200; ++i) written += config.write("") ? 1 : 0;
    done = true;
    cleaner.join();
    EXPECT_EQ(0, removed.load());
    EXPECT_EQ(200, written);
    EXPECT_EQ("main.conf\n", listing());
}

TEST_F(ConfigTest, ApplyUpdatesChangesTheEntriesOnly)
{
    writeFile("main.conf", "y=5\n");
    writeFile("merge.conf", "set x=1\ndel y\n");
    CConfig config("1.0", "7", path("main.conf"));
    ASSERT_TRUE(config.read(""));
    EXPECT_TRUE(config.applyUpdates(dir));
    EXPECT_EQ("x=1\n", config.string());
    EXPECT_EQ("y=5\n", readFile("main.conf"));
    EXPECT_TRUE(exists("merge.conf"));
    EXPECT_FALSE(config.applyUpdates(dir + "/none"));
}

TEST_F(ConfigTest, MergeFileSetAddDelThenDeleted)
{
    writeFile("main.conf", "y=5\nkeep=1\n");
    writeFile("merge.conf", "set x=1\nadd x=2\ndel y\nbogus z=3\nset =4\n\nadd keep=9\n");
    CConfig config("1.0", "7", path("main.conf"));
    ASSERT_TRUE(config.read(""));
    config.mergeUpdates(dir);
    EXPECT_EQ("1", config.get_string("x"));
    EXPECT_FALSE(config.defined("y"));
    EXPECT_FALSE(config.defined("z"));
    EXPECT_FALSE(config.defined(""));
    EXPECT_EQ("1", config.get_string("keep"));
    EXPECT_FALSE(exists("merge.conf"));
    EXPECT_EQ("keep=1\nx=1\n", readFile("main.conf"));
    // Nothing left to merge: a second call changes nothing.
    config.mergeUpdates(dir);
    EXPECT_EQ("keep=1\nx=1\n", readFile("main.conf"));
    EXPECT_EQ(2u, config.size());
}

TEST_F(ConfigTest, MergeFileStaysWhenWriteFails)
{
    writeFile("merge.conf", "set x=1\n");
    CConfig config("1.0", "7", dir + "/no/such/dir/main.conf");
    config.mergeUpdates(dir);
    EXPECT_EQ("1", config.get_string("x"));
    EXPECT_TRUE(exists("merge.conf"));
}

TEST_F(ConfigTest, LegacyNamesAreTranslatedOnReadAndMerge)
{
    writeFile("main.conf", "db_name=prov\nsystem.db.hostname=old\n");
    CConfig config("1.0", "7", path("main.conf"));
    config.addTranslation("db_name", "system.db.name");
    config.addTranslation("db_host_name", "system.db.hostname");
    ASSERT_TRUE(config.read(""));
    EXPECT_EQ("prov", config.get_string("system.db.name"));
    EXPECT_FALSE(config.defined("db_name"));
    writeFile("merge.conf", "set db_host_name=new\n");
    config.mergeUpdates(dir);
    EXPECT_EQ("new", config.get_string("system.db.hostname"));
    EXPECT_EQ(1u, config.count("system.db.hostname"));
    EXPECT_FALSE(config.defined("db_host_name"));
}

TEST_F(ConfigTest, TranslateRenamesTheLegacyKeysOfAnyMap)
{
    CConfig config("1.0", "7", path("main.conf"));
    config.addTranslation("virtual_root", "tftp.virtual_root");
    osk::CStringMap changes("virtual_root=/\ntftp.timeout=2s\n");
    config.translate(changes);
    EXPECT_EQ("/", changes.get_string("tftp.virtual_root", ""));
    EXPECT_FALSE(changes.defined("virtual_root"));
    EXPECT_EQ("2s", changes.get_string("tftp.timeout", ""));
}

TEST_F(ConfigTest, StagedValuesAreWrittenButInForceOnlyAfterTheNextRead)
{
    writeFile("main.conf", "rconsole.encryption=true\na=1\n");
    CConfig config("1.0", "7", path("main.conf"));
    ASSERT_TRUE(config.read(""));
    config.stage("rconsole.encryption", "false");
    config["a"] = "2";
    ASSERT_TRUE(config.write(""));
    EXPECT_EQ("true", config.get_string("rconsole.encryption"));
    EXPECT_EQ("a=2\nrconsole.encryption=false\n", readFile("main.conf"));
    // Later writes keep the staged value until it is read.
    config["a"] = "3";
    ASSERT_TRUE(config.write(""));
    EXPECT_NE(std::string::npos, readFile("main.conf").find("rconsole.encryption=false"));
    ASSERT_TRUE(config.read(""));
    EXPECT_EQ("false", config.get_string("rconsole.encryption"));
    EXPECT_TRUE(config.staged().empty());

    // A change that takes effect at once replaces a staged one.
    config.stage("a", "9");
    config.unstage("a");
    ASSERT_TRUE(config.write(""));
    EXPECT_NE(std::string::npos, readFile("main.conf").find("a=3"));
}

TEST_F(ConfigTest, LockedPointerSerialisesCallsFromThreads)
{
    osk::CConfigPtr config(new CConfig("1.0", "7", path("main.conf")));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([config, t] {
            for (int i = 0; i < 200; ++i) config->set_int32("k" + std::to_string(t * 1000 + i), i);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(800u, config->size());
    EXPECT_EQ(199, config->get_int32("k3199"));
}

TEST(ConfigNamesTest, RegistryKeysAndDescriptions)
{
    const osk::CConfigNames names;
    EXPECT_EQ(67u, names.size());
    EXPECT_EQ("rconsole.port", osk::CConfigNames::defaultRConsolePort());
    EXPECT_EQ("system.storage.path", osk::CConfigNames::storagePath());
    EXPECT_EQ("private_key.bin", osk::CConfigNames::defaultPrivateKeyFile());
    EXPECT_TRUE(names.nameExists(osk::CConfigNames::ipv6Enable()));
    EXPECT_FALSE(names.nameExists("system.log.target.syslog"));
    // The identity to assume, by name: no default, read at start only.
    for (const std::string& key : {osk::CConfigNames::privUser(), osk::CConfigNames::privGroup()}) {
        ASSERT_NE(nullptr, names.entry(key)) << key;
        EXPECT_EQ(osk::CConfigKey::afterRestart, names.entry(key)->applies) << key;
        EXPECT_EQ("", names.defaults().get_string(key, "unset")) << key;
    }
    EXPECT_EQ("byte sequence - A secret key used to authenticate cooperating servers.",
              names.get_string("system.shared_key"));
    EXPECT_EQ(1u, names.count("system.shared_key"));
    EXPECT_EQ("int - The default port the remote console should listen on.", names.get_string("rconsole.port"));
    // Database keys the Firebird provider ignores are known, so that
    // configurations carrying them pass, and say that they are ignored.
    for (const char* key : {"system.db.soft_vs_hard_commit_ratio", "system.db.sync_queries",
                            "system.db.secondary_files.count", "system.db.locks.exclusive", "system.db.mem_start_max",
                            "system.db.mem_size_buffer", "system.db.mem_size_sort_buffer", "system.db.mem_blocks.size",
                            "system.db.mem_blocks.cache.start", "system.db.mem_blocks.cache.extend"}) {
        ASSERT_NE(nullptr, names.entry(key)) << key;
        EXPECT_NE(std::string::npos, names.get_string(key).find("The Firebird database provider ignores it: "))
            << key;
    }
    // The console's limits, with their defaults.
    EXPECT_EQ("64", names.defaults().get_string(osk::CConfigNames::rconsoleMaxSessions()));
    EXPECT_EQ("16", names.defaults().get_string(osk::CConfigNames::rconsoleMaxPendingLogins()));
    EXPECT_EQ("15s", names.defaults().get_string(osk::CConfigNames::rconsoleLoginTimeout()));
    // The metrics exporter's address, loopback unless configured.
    EXPECT_EQ("127.0.0.1", names.defaults().get_string(osk::CConfigNames::prometheusListenOn()));
    EXPECT_EQ("9464", names.defaults().get_string(osk::CConfigNames::prometheusPort()));
    // Every description starts with the value's type.
    for (const auto& entry : names) {
        const std::string type = entry.second.substr(0, entry.second.find(" - "));
        EXPECT_TRUE(type == "string" || type == "int" || type == "bool" || type == "boolean" || type == "long" ||
                    type == "byte sequence")
            << entry.first;
    }
}

TEST(ConfigNamesTest, EveryKeyHasOneEntryWithItsDescription)
{
    const osk::CConfigNames& names = osk::CConfigNames::framework();
    for (const auto& described : names) {
        const osk::CConfigKey* entry = names.entry(described.first);
        ASSERT_NE(nullptr, entry) << described.first;
        EXPECT_EQ(described.first, entry->name);
        EXPECT_EQ(described.second, entry->description);
        // A default is listed exactly for the keys whose entry has one.
        EXPECT_EQ(entry->defaultValue != nullptr, names.defaults().defined(described.first)) << described.first;
    }
    EXPECT_EQ(nullptr, names.entry("no.such.key"));
    EXPECT_EQ("byte sequence - A secret key used to authenticate cooperating servers.",
              std::string(names.entry("system.shared_key")->description));
    EXPECT_EQ("en_US", names.defaults().get_string("system.msg.locale"));
    EXPECT_EQ("error,warning,info,audit,debug", names.defaults().get_string("system.log.levels"));
    EXPECT_EQ("stdout,eventlog", names.defaults().get_string("system.log.targets"));
}

TEST(ConfigNamesTest, RestartKeysNamesTheStoredKeysThatWaitForARestart)
{
    const osk::CConfigNames& names = osk::CConfigNames::framework();
    const osk::CStringMap changes("system.plugins=a\nsystem.log.levels=error\nunknown.key=1\nsystem.index=2\n"
                                  "rconsole.min_client_version=1\nrconsole.port=7000\nrconsole.port=7001");
    const std::vector<std::string> expected = {"rconsole.port", "system.index", "system.plugins"};
    EXPECT_EQ(expected, names.restartKeys(changes));
    EXPECT_TRUE(names.restartKeys(osk::CStringMap("system.log.targets=stdout\nrconsole.encryption=false")).empty());
}

TEST(ConfigNamesTest, ValuesReadTheRegistryDefaultForAMissingOrEmptyKey)
{
    const osk::CConfigNames& names = osk::CConfigNames::framework();
    const osk::CStringMap config("udp_publisher.max_history=\nudp_publisher.latency=2s\nrconsole.encryption=false\n"
                                 "rconsole.port=7000\nsystem.log.targets=file\nsystem.storage.path=/srv/zelvo/");
    const osk::CConfigValues values(config, names);
    EXPECT_EQ(1000ul, values.ulong("udp_publisher.max_history"));  // empty
    EXPECT_EQ(2000000ul, values.usec("udp_publisher.latency"));
    EXPECT_EQ(10000l, values.slong("rconsole.max_select_count"));  // missing
    EXPECT_FALSE(values.flag("rconsole.encryption"));
    EXPECT_TRUE(values.flag("rconsole.db.shared_connections"));
    EXPECT_EQ(7000u, values.uint16("rconsole.port"));
    EXPECT_EQ("file", values.text("system.log.targets"));
    EXPECT_EQ("daemon", values.text("system.log.facility"));
    EXPECT_EQ("/srv/zelvo", values.path("system.storage.path"));
    // Keys without a fixed default read as empty or zero.
    EXPECT_EQ("", values.text("system.shared_key"));
    EXPECT_EQ(0ul, values.ulong("system.priv.uid"));
    const osk::CStringMap unset;
    EXPECT_EQ(100000ul, osk::CConfigValues(unset, names).usec("udp_publisher.latency"));
}

TEST(ConfigNamesTest, ValidateRejectsFirstUnknownKeyInKeyOrder)
{
    const osk::CConfigNames names;
    EXPECT_NO_THROW(names.validate(osk::CStringMap("system.db.name=x\nrconsole.port=1")));
    const osk::CException e = thrown([&] { names.validate(osk::CStringMap("zzz=1\n# comment\nrconsole.port=1")); });
    EXPECT_EQ("Cannot validate configuration key '# comment'.", e.whatMsg().formatted());
    EXPECT_EQ("Unrecognized key.", e.whyMsg().formatted());
    EXPECT_EQ("CConfigNames::validate", e.context());
    EXPECT_EQ("extended", e.module());
}

// A service registry adds its own keys.
class ServiceNames : public osk::CConfigNames {
public:
    ServiceNames() { _addConfigName("tftp.port", "int - The TFTP port."); }
};

TEST(ConfigNamesTest, DerivedRegistryAddsKeys)
{
    const ServiceNames names;
    EXPECT_NO_THROW(names.validate(osk::CStringMap("tftp.port=69\nsystem.index=1")));
    EXPECT_THROW(osk::CConfigNames().validate(osk::CStringMap("tftp.port=69")), osk::CException);
}

} // namespace
