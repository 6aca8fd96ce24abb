#include <ibase.h>

#include "extended/exception.h"
#include "support/thrown.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using fbprov::CFbConnectionSettings;
using fbprov::CFbConnector;
using fbtest::FbDatabaseTest;
using fbtest::settingsFor;

// The exception `open` throws for these settings.
osk::CException openError(const CFbConnectionSettings& settings)
{
    return test_support::thrown([&] { CFbConnector::open(settings); });
}

TEST(FbConnectionSettings, BuildTheDatabaseFileAndConnectionStringFromTheConfiguration)
{
    osk::CStringMap config;
    config["system.storage.path"] = "/var/lib/zelvo";
    config["system.db.name"] = "prov";
    CFbConnectionSettings local(config);
    EXPECT_EQ("/var/lib/zelvo/prov.fdb", local.databaseFile());
    EXPECT_TRUE(local.embedded());
    EXPECT_EQ("/var/lib/zelvo/prov.fdb", local.connectionString());
    EXPECT_EQ("SYSDBA", local.user());
    EXPECT_EQ(8192u, local.pageSize());
    EXPECT_EQ(0u, local.cacheBuffers());

    config["system.db.path"] = "/srv/db";
    config["system.db.name"] = "prov.gdb";
    config["system.db.hostname"] = "db1/3051";
    config["system.db.page_size"] = "16384";
    config["system.db.cache_buffers"] = "512";
    CFbConnectionSettings remote(config);
    EXPECT_FALSE(remote.embedded());
    EXPECT_EQ("db1/3051:/srv/db/prov.gdb", remote.connectionString());
    EXPECT_EQ(16384u, remote.pageSize());
    EXPECT_EQ(512u, remote.cacheBuffers());
}

TEST(FbConnectionSettings, RefuseAMissingNameAndAnImpossiblePageSize)
{
    osk::CStringMap config;
    EXPECT_THROW(CFbConnectionSettings{config}, osk::CException);
    config["system.db.name"] = "prov";
    config["system.db.page_size"] = "5000";
    EXPECT_THROW(CFbConnectionSettings{config}, osk::CException);
}

TEST_F(FbDatabaseTest, CreatesTheDatabaseOnFirstUseWithTheConfiguredSizesAndReopensIt)
{
    CFbConnectionSettings settings = settingsFor(file());
    settings.pageSize(16384);
    {
        auto attachment = CFbConnector::open(settings);
        fbprov::CFbTransaction transaction(*attachment, fbprov::CFbTransaction::readWrite);
        fbprov::CFbStatement(transaction, "CREATE TABLE T (A INTEGER)").execute(transaction);
        transaction.commit();
    }
    EXPECT_TRUE(std::ifstream(file()).good());
    settings.pageSize(4096); // applies only to a new database
    settings.cacheBuffers(300);
    auto attachment = CFbConnector::open(settings);
    fbprov::CFbTransaction transaction(*attachment, fbprov::CFbTransaction::readOnly);
    fbprov::CFbStatement query(transaction, "SELECT MON$PAGE_SIZE, MON$PAGE_BUFFERS, "
                                            "(SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'T') "
                                            "FROM MON$DATABASE");
    auto rows = query.select(transaction);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(16384, rows->asInt64(0));
    EXPECT_EQ(300, rows->asInt64(1));
    EXPECT_EQ(1, rows->asInt64(2)) << "the reopened database is the one created before";
}

TEST_F(FbDatabaseTest, AMissingDirectoryIsNamedWithWhatToDo)
{
    const std::string missing = dir() / "no-such-dir";
    osk::CException e = openError(settingsFor(missing + "/test.fdb"));
    EXPECT_EQ("firebird_provider", e.module());
    EXPECT_NE(std::string::npos, e.printableError().find(missing + "/test.fdb")) << e.printableError();
    EXPECT_NE(std::string::npos, e.printableError().find("The directory '" + missing + "' does not exist; create it"))
        << e.printableError();
    EXPECT_FALSE(std::ifstream(missing + "/test.fdb").good());
}

TEST_F(FbDatabaseTest, AGarbageFileIsReportedAsNoDatabaseAndLeftAlone)
{
    const std::string garbage(20000, 'x');
    test_support::writeFile(file(), garbage);
    osk::CException e = openError(settingsFor(file()));
    EXPECT_EQ("firebird_provider", e.module());
    EXPECT_EQ(isc_bad_db_format, e.err_code());
    const std::string text = e.printableError();
    EXPECT_NE(std::string::npos, text.find("Cannot open database '" + file() + "'.")) << text;
    EXPECT_NE(std::string::npos, text.find("The file is not a Firebird database or is damaged")) << text;
    EXPECT_NE(std::string::npos, text.find("Firebird reports: ")) << text;
    EXPECT_EQ(garbage, test_support::readFile(file())) << "a file that is not a database is never overwritten";
}

TEST_F(FbDatabaseTest, APathThatIsADirectoryIsRefused)
{
    ASSERT_EQ(0, ::mkdir(file().c_str(), 0700));
    osk::CException e = openError(settingsFor(file()));
    EXPECT_NE(std::string::npos, e.printableError().find("The path is not a regular file")) << e.printableError();
}

} // namespace
