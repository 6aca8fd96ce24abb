#include "extended/config.h"
#include "extended/config_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "extended/exception.h"

namespace {

using osk::CConfig;

// A fresh directory under /tmp for each test, removed afterwards.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo_config_XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    void writeFile(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name)) << text;
    }
    std::string readFile(const std::string& name) const
    {
        std::ifstream in(path(name));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool exists(const std::string& name) const { return ::access(path(name).c_str(), F_OK) == 0; }

    std::string dir;
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
    EXPECT_FALSE(exists("out.conf.tmp"));
    CConfig back("2.1", "99", path("out.conf"));
    ASSERT_TRUE(back.read(""));
    EXPECT_EQ(static_cast<const osk::CStringMap&>(config), static_cast<const osk::CStringMap&>(back));
    EXPECT_EQ(250000ul, back.get_usec("timeout", 0));
    EXPECT_FALSE(config.write(dir + "/no/such/dir/x.conf"));
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
    EXPECT_EQ(50u, names.size());
    EXPECT_EQ("rconsole.port", osk::CConfigNames::defaultRConsolePort());
    EXPECT_EQ("system.storage.path", osk::CConfigNames::storagePath());
    EXPECT_EQ("private_key.bin", osk::CConfigNames::defaultPrivateKeyFile());
    EXPECT_TRUE(names.nameExists(osk::CConfigNames::ipv6Enable()));
    EXPECT_FALSE(names.nameExists("system.log.target.syslog"));
    EXPECT_EQ("byte sequence - A secret key used to authenticate cooperating servers.",
              names.get_string("system.shared_key"));
    EXPECT_EQ(1u, names.count("system.shared_key"));
    EXPECT_EQ("int - The default port the remote console should listen on.", names.get_string("rconsole.port"));
    // Every description starts with the value's type.
    for (const auto& entry : names) {
        const std::string type = entry.second.substr(0, entry.second.find(" - "));
        EXPECT_TRUE(type == "string" || type == "int" || type == "bool" || type == "boolean" || type == "long" ||
                    type == "byte sequence")
            << entry.first;
    }
}

TEST(ConfigNamesTest, ValidateRejectsFirstUnknownKeyInKeyOrder)
{
    const osk::CConfigNames names;
    EXPECT_NO_THROW(names.validate(osk::CStringMap("system.db.name=x\nrconsole.port=1")));
    try {
        names.validate(osk::CStringMap("zzz=1\n# comment\nrconsole.port=1"));
        FAIL() << "unknown keys accepted";
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot validate configuration key '# comment'.", e.whatMsg().formatted());
        EXPECT_EQ("Unrecognized key.", e.whyMsg().formatted());
        EXPECT_EQ("CConfigNames::validate", e.context());
        EXPECT_EQ("extended", e.module());
    }
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
