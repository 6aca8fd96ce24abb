// The key/value functions of request expressions answered by the service's
// database: the provider plug-in loaded, the shipped schema and statement
// file, rows written with bound values, lookups through the evaluator.
#include "tftp/tftp_database/tftp_key_value_provisioner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "extended/config.h"
#include "fb_test_database.h"
#include "oodb/db_base_session.h"
#include "oodb/db_controller.h"
#include "oodb/db_statement_file_reader.h"
#include "support/temp_dir.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_database/tftp_database.h"
#include "unit/extended/host_fixture.h"
#include "unit/extended/test_controller.h"

namespace {

const std::string kDbDir = ZELVO_DB_DIR;
const std::string kHostile = "1; DROP TABLE osk_keyvalues";

bool unknown(const osk::CVariant& value) { return value.type().type() == osk::CVariantType::t_unknown; }

class KeyValueProvisionerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fbtest::lockDirectory();
        config.set_string("system.db.name", "service");
        config.set_string("system.db.path", dir.path());
        config.set_string("system.db.versions_path", kDbDir + "/db_versions");
        config.set_string("system.db.statements.file", kDbDir + "/statements.spec");
        config.set_string("system.db.table_groups.file", kDbDir + "/table_groups.spec");
        osk::CConfigPtr hostConfig(new osk::CConfig("", "", ""));
        hostConfig->set_string("system.plugins", "zelvo_firebird_provider");
        host.config(hostConfig);
        host.libDir(host_test::buildDir());
        host.loadPlugins(hostConfig);
        database.open(config, host, [](uint32_t, const osk::CMessage&) {});
        ASSERT_NE(nullptr, database.provisioner());
        evaluator.provisioner(database.provisioner());

        put("device", "map", "10.0.0.1", "modem-a.cfg", true);
        put("device", "map", "10.0.0.2", "modem-b.cfg", false);
        put("device", "map", "O'Brien", "it's \"quoted\"", true);
        put("device", "map", kHostile, "still here", true);
        put("device", "ranges", "cmts1", "10.1.0.10-10.1.0.99, 2001:db8::1-2001:db8::ff, 100-199", true);
        put("device", "ranges", "off", "10.1.0.10-10.1.0.99", false);
        put("device", "ranges", "broken", "10.1.0.99-10.1.0.10", true);
    }
    void TearDown() override
    {
        evaluator.provisioner(nullptr);
        database.close();
        host.unloadPlugins();
    }

    void put(const std::string& kclass, const std::string& subclass, const std::string& key,
             const std::string& value, bool enabled)
    {
        CDBBaseSession session(config, database.database());
        auto transaction = session.beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        ++lastKey;
        transaction->execute("INSERT INTO osk_keyvalues (PK, OID, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)",
                             {lastKey, lastKey, kclass, subclass, key, value, std::string(enabled ? "TRUE" : "FALSE")});
        transaction->commit();
    }
    int64_t rowCount()
    {
        CDBBaseSession session(config, database.database());
        auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        auto rows = transaction->select("SELECT COUNT(*) AS N FROM osk_keyvalues");
        rows->fetch();
        return rows->asInt64("N");
    }
    osk::CVariant eval(const std::string& text)
    {
        osk::CVariant result;
        evaluator.execute(result, evaluator.parse(text));
        return result;
    }
    // The why of the failure text raises, or "" when it raises none.
    std::string failure(const std::string& text, const std::string& what)
    {
        try {
            eval(text);
        } catch (const osk::CException& e) {
            EXPECT_EQ(what, e.whatMsg().formatted());
            return e.whyMsg().formatted();
        }
        return std::string();
    }

    test_support::TempDir dir;
    osk::CStringMap config;
    zelvo_test::CTestController host;
    CTFTPDatabase database;
    CTFTPEval evaluator;
    int64_t lastKey = 1000;
};

TEST_F(KeyValueProvisionerTest, KeyValueGivesTheEnabledRecordsValueAndUnknownOtherwise)
{
    EXPECT_EQ("modem-a.cfg", eval("$DB.KEYVALUE(\"device\", \"map\", 10.0.0.1)").string());
    // Disabled, absent key, absent subclass: no value.
    EXPECT_TRUE(unknown(eval("$DB.KEYVALUE(\"device\", \"map\", 10.0.0.2)")));
    EXPECT_TRUE(unknown(eval("$DB.KEYVALUE(\"device\", \"map\", 10.0.0.3)")));
    EXPECT_TRUE(unknown(eval("$DB.KEYVALUE(\"device\", \"other\", 10.0.0.1)")));
}

TEST_F(KeyValueProvisionerTest, HostileTextsAreOnlyComparedAndFoundVerbatim)
{
    const int64_t rows = rowCount();
    // The expression language cannot quote an apostrophe: straight to the
    // provisioner, as the evaluator passes an argument's text.
    osk::CMultiVariant results;
    database.provisioner()->keyValue("device", "map", "O'Brien", results);
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ("it's \"quoted\"", results.top().string());
    database.provisioner()->keyValueManagedRange("device", "ranges", "cmts1", "O'Brien", "true", results);
    ASSERT_EQ(2u, results.size());
    EXPECT_FALSE(results.top().boolean());
    EXPECT_EQ("still here", eval("$DB.KEYVALUE(\"device\", \"map\", \"" + kHostile + "\")").string());
    EXPECT_TRUE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", \"" + kHostile + "\", true)").boolean());
    // A near miss of the hostile key finds nothing and the table is intact.
    EXPECT_TRUE(unknown(eval("$DB.KEYVALUE(\"device\", \"map\", \"1; DROP TABLE\")")));
    EXPECT_EQ(rows, rowCount());
}

TEST_F(KeyValueProvisionerTest, ExistsTestsTheEnabledFlagItIsGiven)
{
    EXPECT_TRUE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.1, true)").boolean());
    EXPECT_FALSE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.1, false)").boolean());
    EXPECT_FALSE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.2, \"yes\")").boolean());
    EXPECT_TRUE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.2, \"no\")").boolean());
    EXPECT_FALSE(eval("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.9, true)").boolean());
    EXPECT_EQ("'maybe' is not a boolean (true or false).",
              failure("$DB.KEYVALUE.EXISTS(\"device\", \"map\", 10.0.0.1, \"maybe\")",
                      "Cannot execute function $DB.KEYVALUE.EXISTS()."));
}

TEST_F(KeyValueProvisionerTest, ManagedRangeTestsTheValueAgainstTheEnabledRecordsRanges)
{
    const auto inRange = [this](const std::string& key, const std::string& value, const std::string& fallback) {
        return eval("$DB.KEYVALUE.MANAGED_RANGE(\"device\", \"ranges\", \"" + key + "\", \"" + value + "\", " +
                    fallback + ")")
            .boolean();
    };
    EXPECT_TRUE(inRange("cmts1", "10.1.0.10", "false"));
    EXPECT_TRUE(inRange("cmts1", "10.1.0.99", "false"));
    EXPECT_FALSE(inRange("cmts1", "10.1.0.100", "true"));
    EXPECT_TRUE(inRange("cmts1", "2001:db8::80", "false"));
    EXPECT_TRUE(inRange("cmts1", "150", "false"));
    EXPECT_FALSE(inRange("cmts1", "modem", "true"));
    // No enabled record: the default answers.
    EXPECT_TRUE(inRange("off", "10.1.0.50", "true"));
    EXPECT_FALSE(inRange("off", "10.1.0.50", "false"));
    EXPECT_TRUE(inRange("absent", "10.1.0.50", "yes"));

    EXPECT_EQ("The managed range '10.1.0.99-10.1.0.10' is malformed. (The range '10.1.0.99-10.1.0.10' ends before it "
              "starts.)",
              failure("$DB.KEYVALUE.MANAGED_RANGE(\"device\", \"ranges\", \"broken\", 10.1.0.50, false)",
                      "Cannot execute function $DB.MANAGED_RANGE()."));
    EXPECT_EQ("'sometimes' is not a boolean (true or false).",
              failure("$DB.KEYVALUE.MANAGED_RANGE(\"device\", \"ranges\", \"cmts1\", 10.1.0.50, \"sometimes\")",
                      "Cannot execute function $DB.MANAGED_RANGE()."));
}

TEST_F(KeyValueProvisionerTest, AStatementFileWithoutTheLookupStatementIsRefused)
{
    CDBStatementFileReader empty;
    try {
        CTFTPKeyValueProvisioner provisioner(config, database.database(), empty);
        FAIL() << "no error";
    } catch (const osk::CException& e) {
        EXPECT_EQ("The key/value lookups need the statement 'keyvalue.class_subclass_key_enabled' in the statement "
                  "file.",
                  e.whatMsg().formatted());
    }
}

TEST_F(KeyValueProvisionerTest, ClosingTheDatabaseWithdrawsTheProvisioner)
{
    database.close();
    EXPECT_EQ(nullptr, database.provisioner());
}

} // namespace
