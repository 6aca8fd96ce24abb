// The service's database as the daemon opens it: the provider plug-in
// loaded by a plug-in host, the shipped files of db/, and the single start
// error for each way the configuration can be wrong.
#include "tftp/tftp_database/tftp_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "extended/config.h"
#include "fb_test_database.h"
#include "oodb/db_controller.h"
#include "support/temp_dir.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

namespace {

const std::string kDbDir = ZELVO_DB_DIR;

class TFTPDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fbtest::lockDirectory();
        config.set_string("system.db.name", "service");
        config.set_string("system.db.path", dir.path());
        config.set_string("system.db.versions_path", kDbDir + "/db_versions");
        config.set_string("system.db.statements.file", kDbDir + "/statements.spec");
        config.set_string("system.db.table_groups.file", kDbDir + "/table_groups.spec");
        config.set_string("system.db.user_sql_queries.file", kDbDir + "/user_sql_queries.spec");
        config.set_string("system.db.user_sql_query_groups.file", kDbDir + "/user_sql_query_groups.spec");
    }
    void TearDown() override
    {
        // The database's objects come from the plug-in: they go first.
        database.close();
        if (loaded) host.unloadPlugins();
    }
    void loadProvider()
    {
        osk::CConfigPtr hostConfig(new osk::CConfig("", "", ""));
        hostConfig->set_string("system.plugins", "zelvo_firebird_provider");
        host.config(hostConfig);
        host.libDir(host_test::buildDir());
        host.loadPlugins(hostConfig);
        loaded = true;
    }
    void open()
    {
        database.open(config, host, [this](uint32_t, const osk::CMessage& message) {
            logged.push_back(message.formatted());
        });
    }
    // The start error open raises; empty when it raises none.
    std::string startError()
    {
        try {
            open();
        } catch (const osk::CException& e) {
            return e.printableError();
        }
        return std::string();
    }
    bool databaseFileExists() const
    {
        struct stat info {};
        return ::stat((dir / "service.fdb").c_str(), &info) == 0;
    }

    test_support::TempDir dir;
    osk::CStringMap config;
    zelvo_test::CTestController host;
    bool loaded = false;
    CTFTPDatabase database;
    std::vector<std::string> logged;
};

TEST_F(TFTPDatabaseTest, OpensTheShippedDatabaseAndSaysWhereAndWhichVersion)
{
    loadProvider();
    open();
    ASSERT_TRUE(database.isOpen());
    EXPECT_EQ(CTFTPDatabase::applicationSchemaVersion, database.schemaVersion());
    EXPECT_EQ(CTFTPDatabase::applicationSchemaVersion, database.database().reqSchemaVersion());
    EXPECT_EQ((std::vector<std::string>{"Opened the database '" + (dir / "service.fdb") +
                                        "' (embedded engine) at schema version " +
                                        std::to_string(CTFTPDatabase::applicationSchemaVersion) + "."}),
              logged);
    EXPECT_TRUE(database.statements().exists("domain.name"));
    EXPECT_TRUE(database.tableGroups().exists("bilink"));
    EXPECT_TRUE(database.userQueries().exists("accounts.class"));
    EXPECT_TRUE(database.userQueryGroups().exists("accounts"));

    database.close();
    EXPECT_FALSE(database.isOpen());
    EXPECT_THROW(database.database(), osk::CException);
}

TEST_F(TFTPDatabaseTest, WithoutADatabaseNameNothingOpens)
{
    config.erase("system.db.name");
    EXPECT_EQ("", startError());
    EXPECT_FALSE(database.isOpen());
}

TEST_F(TFTPDatabaseTest, WithoutAProviderPlugInTheStartStopsAndSaysWhatToLoad)
{
    EXPECT_EQ("Cannot open the service's database 'service'. (No database provider plug-in is loaded; add one "
              "(zelvo_firebird_provider) to system.plugins.)",
              startError());
    EXPECT_FALSE(databaseFileExists());
}

TEST_F(TFTPDatabaseTest, AStatementFileIsRequiredAndNamedWhenMissing)
{
    config.erase("system.db.statements.file");
    EXPECT_EQ("Cannot open the service's database 'service'. (The key system.db.statements.file is not set; "
              "point it to the file shipped in db/ (statements.spec).)",
              startError());
    config.set_string("system.db.statements.file", dir / "none.spec");
    EXPECT_NE(std::string::npos, startError().find("Cannot open spec file '" + (dir / "none.spec") + "'."));
}

TEST_F(TFTPDatabaseTest, AStatementOfAnUndefinedGroupStopsTheStart)
{
    test_support::writeFile(dir / "groups.spec", "group=domain\ntables=osk_domains\n");
    config.set_string("system.db.table_groups.file", dir / "groups.spec");
    const std::string error = startError();
    EXPECT_NE(std::string::npos, error.find("names the table group"));
    EXPECT_NE(std::string::npos, error.find(dir / "groups.spec"));
    EXPECT_FALSE(database.isOpen());
}

TEST_F(TFTPDatabaseTest, AUserQueryOfAnUndefinedGroupStopsTheStart)
{
    test_support::writeFile(dir / "query_groups.spec", "group=policies\ntables=tftp_policy\n");
    config.set_string("system.db.user_sql_query_groups.file", dir / "query_groups.spec");
    EXPECT_NE(std::string::npos,
              startError().find("names the table group 'accounts', which '" + (dir / "query_groups.spec")));
}

TEST_F(TFTPDatabaseTest, WithoutAVersionsPathTheProviderSaysWhichKeyToSet)
{
    loadProvider();
    config.erase("system.db.versions_path");
    const std::string error = startError();
    EXPECT_NE(std::string::npos, error.find("Cannot open the service's database '" + (dir / "service.fdb") + "'."))
        << error;
    EXPECT_NE(std::string::npos, error.find("system.db.versions_path is not set")) << error;
    EXPECT_FALSE(database.isOpen());
}

} // namespace
