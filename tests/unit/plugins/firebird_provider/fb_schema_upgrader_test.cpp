#include <sys/stat.h>

#include "extended/exception.h"
#include "firebird_provider/fb_schema_upgrader.h"
#include "support/thrown.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using test_support::thrown;

using fbprov::CFbSchemaUpgrader;

class FbSchemaUpgraderTest : public fbtest::FbDatabaseTest {
protected:
    void SetUp() override
    {
        ::mkdir(versions().c_str(), 0700);
        script(1, "10_tables.sql", "CREATE TABLE DEVICE (PK BIGINT NOT NULL PRIMARY KEY, NAME VARCHAR(40));\n"
                                   "CREATE SEQUENCE DEVICE_KEYS;");
        // Uses the table of the file before: each statement is committed.
        script(1, "20_data.sql", "INSERT INTO DEVICE (PK, NAME) VALUES (GEN_ID(DEVICE_KEYS, 1), 'first;one');");
        script(2, "10_columns.sql", "ALTER TABLE DEVICE ADD MAC VARCHAR(17);\n"
                                    "UPDATE DEVICE SET MAC = '00:00:00:00:00:01';");
        script(3, "10_index.sql", "CREATE INDEX DEVICE_MAC ON DEVICE (MAC);");
    }

    std::string versions() const { return dir() / "db_versions"; }
    void script(unsigned version, const std::string& name, const std::string& text)
    {
        const std::string directory = versions() + "/" + std::to_string(version);
        ::mkdir(directory.c_str(), 0700);
        test_support::writeFile(directory + "/" + name, text);
    }
    CFbSchemaUpgrader upgrader() { return CFbSchemaUpgrader(db(), versions()); }

    // The initial data of the schema directory dir(): default_init.sql names
    // the rows it adds "init", the import files theirs by file.
    void initialData(const std::string& secondImport)
    {
        test_support::writeFile(dir() / "default_init.sql",
                                "INSERT INTO DEVICE (PK, NAME, MAC) VALUES (100, 'init', 'x');");
        ::mkdir((dir() / "import").c_str(), 0700);
        // Runs after 10_first.sql, whose row it needs.
        test_support::writeFile(dir() / "import/20_second.sql", secondImport);
        test_support::writeFile(dir() / "import/10_first.sql",
                                "INSERT INTO DEVICE (PK, NAME) VALUES (101, 'first');");
        test_support::writeFile(dir() / "import/notes.txt", "not a script");
    }
    CFbSchemaUpgrader withInitialData()
    {
        return CFbSchemaUpgrader(db(), versions(), CFbSchemaUpgrader::initialDataScripts(dir().path()));
    }
    static constexpr const char* kSecond =
        "INSERT INTO DEVICE (PK, NAME) SELECT 102, 'second' FROM DEVICE WHERE PK = 101;\n"
        "UPDATE DEVICE SET MAC = 'imported' WHERE PK = 102;";
};

TEST_F(FbSchemaUpgraderTest, ANewDatabaseGetsEveryVersionUpToTheRequiredOne)
{
    EXPECT_EQ(0u, upgrader().currentVersion());
    upgrader().upgrade(3);
    EXPECT_EQ(3u, upgrader().currentVersion());
    EXPECT_FALSE(upgrader().upgradeInProgress());
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE NAME = 'first;one' AND MAC = '00:00:00:00:00:01'"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'DEVICE_MAC'"));
    EXPECT_EQ(3, scalar("SELECT NUMBER FROM SCHEMA_VERSION"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM SCHEMA_VERSION"));
}

TEST_F(FbSchemaUpgraderTest, AnOlderDatabaseIsUpgradedAndKeepsItsData)
{
    upgrader().upgrade(2);
    run("INSERT INTO DEVICE (PK, NAME) VALUES (?, ?)", {int64_t(50), std::string("added at 2")});
    closeDb();
    EXPECT_EQ(2u, upgrader().currentVersion());
    upgrader().upgrade(3);
    EXPECT_EQ(3u, upgrader().currentVersion());
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM DEVICE"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'DEVICE_MAC'"));
    upgrader().upgrade(3); // nothing left to do
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM DEVICE"));
}

TEST_F(FbSchemaUpgraderTest, AFailedVersionKeepsTheOldNumberAndResumesAfterItsLastGoodStatement)
{
    upgrader().upgrade(1);
    script(2, "10_columns.sql", "ALTER TABLE DEVICE ADD MAC VARCHAR(17);\n"
                                "UPDATE NO_SUCH_TABLE SET MAC = '1';");
    const std::string failure = thrown([&] { upgrader().upgrade(3); }).printableError();
    EXPECT_NE(std::string::npos, failure.find("Cannot upgrade the database schema to version 2.")) << failure;
    EXPECT_NE(std::string::npos, failure.find("Statement 2 of the version failed")) << failure;
    EXPECT_EQ(1u, upgrader().currentVersion()) << "a half-made version never counts";
    EXPECT_TRUE(upgrader().upgradeInProgress());

    // The repaired script runs on from statement 2; running the ALTER TABLE
    // again would fail because the column exists.
    script(2, "10_columns.sql", "ALTER TABLE DEVICE ADD MAC VARCHAR(17);\n"
                                "UPDATE DEVICE SET MAC = '00:00:00:00:00:02';");
    upgrader().upgrade(3);
    EXPECT_EQ(3u, upgrader().currentVersion());
    EXPECT_FALSE(upgrader().upgradeInProgress());
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE MAC = '00:00:00:00:00:02'"));
}

TEST_F(FbSchemaUpgraderTest, ADatabaseNewerThanRequiredIsRefused)
{
    upgrader().upgrade(3);
    EXPECT_THROW(upgrader().upgrade(2), osk::CException);
    EXPECT_EQ(3u, upgrader().currentVersion());
}

TEST_F(FbSchemaUpgraderTest, AMissingVersionDirectoryIsNamed)
{
    const std::string failure = thrown([&] { upgrader().upgrade(4); }).printableError();
    EXPECT_NE(std::string::npos, failure.find(versions() + "/4")) << failure;
    EXPECT_EQ(3u, upgrader().currentVersion()) << "the versions that exist are applied";
}

TEST_F(FbSchemaUpgraderTest, InitialDataScriptsAreDefaultInitThenTheImportsInNameOrder)
{
    EXPECT_TRUE(CFbSchemaUpgrader::initialDataScripts(dir().path()).empty()) << "neither file nor directory";
    initialData(kSecond);
    EXPECT_EQ((std::vector<std::string>{dir() / "default_init.sql", dir() / "import/10_first.sql",
                                        dir() / "import/20_second.sql"}),
              CFbSchemaUpgrader::initialDataScripts(dir().path()));
}

TEST_F(FbSchemaUpgraderTest, ANewDatabaseGetsItsInitialDataOnceAfterTheVersions)
{
    initialData(kSecond);
    withInitialData().upgrade(3);
    EXPECT_FALSE(withInitialData().initialDataPending());
    // default_init.sql writes the MAC column of version 2: it ran after it.
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE PK = 100 AND MAC = 'x'"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE PK = 102 AND MAC = 'imported'"));
    withInitialData().upgrade(3);
    EXPECT_EQ(4, scalar("SELECT COUNT(*) FROM DEVICE")) << "the initial data runs once";
}

TEST_F(FbSchemaUpgraderTest, AnExistingDatabaseGetsNoInitialData)
{
    upgrader().upgrade(2);
    initialData(kSecond);
    withInitialData().upgrade(3);
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM DEVICE WHERE PK >= 100"));
}

TEST_F(FbSchemaUpgraderTest, InterruptedInitialDataIsOwedAndResumedAfterItsLastGoodStatement)
{
    initialData("INSERT INTO DEVICE (PK, NAME) SELECT 102, 'second' FROM DEVICE WHERE PK = 101;\n"
                "UPDATE NO_SUCH_TABLE SET MAC = 'imported';");
    const std::string failure = thrown([&] { withInitialData().upgrade(3); }).printableError();
    EXPECT_NE(std::string::npos, failure.find("Cannot load the initial data of the new database.")) << failure;
    EXPECT_NE(std::string::npos, failure.find(dir() / "import/20_second.sql")) << failure;
    // At the required version, yet not complete: the next start must know.
    EXPECT_EQ(3u, upgrader().currentVersion());
    EXPECT_TRUE(upgrader().initialDataPending());
    closeDb();

    // Running the first INSERT again would break the primary key.
    initialData(kSecond);
    withInitialData().upgrade(3);
    EXPECT_FALSE(upgrader().initialDataPending());
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE PK = 102 AND MAC = 'imported'"));
}

TEST_F(FbSchemaUpgraderTest, ANewDatabaseInterruptedInItsVersionsStillOwesItsInitialData)
{
    initialData(kSecond);
    script(2, "10_columns.sql", "ALTER TABLE DEVICE ADD MAC VARCHAR(17);\nUPDATE NO_SUCH_TABLE SET MAC = '1';");
    EXPECT_THROW(withInitialData().upgrade(3), osk::CException);
    EXPECT_EQ(1u, upgrader().currentVersion());
    EXPECT_TRUE(upgrader().initialDataPending());

    // A start with a program that ships no initial data still owes it.
    script(2, "10_columns.sql", "ALTER TABLE DEVICE ADD MAC VARCHAR(17);\nUPDATE DEVICE SET MAC = 'v2';");
    upgrader().upgrade(3);
    EXPECT_TRUE(upgrader().initialDataPending());
    withInitialData().upgrade(3);
    EXPECT_FALSE(upgrader().initialDataPending());
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM DEVICE WHERE PK = 100"));
}

} // namespace
