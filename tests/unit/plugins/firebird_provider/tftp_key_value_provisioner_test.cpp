// The key/value functions of request expressions answered by the service's
// database: the provider plug-in loaded, the shipped schema and statement
// file, rows written with bound values, lookups through the evaluator.
#include "tftp/tftp_database/tftp_key_value_provisioner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <atomic>
#include <chrono>
#include <thread>

#include <ibase.h>

#include "firebird_provider/fb_database_proxy.h"
#include "firebird_provider/fb_status.h"
#include "oodb/db_statement_file_reader.h"
#include "service_database_fixture.h"
#include "support/thrown.h"
#include "tftp/tftp_base/tftp_eval.h"

namespace {

const std::string kHostile = "1; DROP TABLE osk_keyvalues";

bool unknown(const osk::CVariant& value) { return value.type().type() == osk::CVariantType::t_unknown; }

class KeyValueProvisionerTest : public ServiceDatabaseTest {
protected:
    void SetUp() override
    {
        ServiceDatabaseTest::SetUp();
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
        ServiceDatabaseTest::TearDown();
    }

    void put(const std::string& kclass, const std::string& subclass, const std::string& key,
             const std::string& value, bool enabled)
    {
        ++lastKey;
        execute("INSERT INTO osk_keyvalues (PK, OID, KCLASS, SUBCLASS, KKEY, KVALUE, ENABLED) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)",
                {lastKey, lastKey, kclass, subclass, key, value, std::string(enabled ? "TRUE" : "FALSE")});
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
    EXPECT_EQ("The key/value lookups need the statement 'keyvalue.class_subclass_key_enabled' in the statement file.",
              test_support::thrown([&] {
                  CTFTPKeyValueProvisioner provisioner(config, database.database(), database.requestConnection(), empty,
                                                       std::chrono::seconds(5), 10);
              })
                  .whatMsg()
                  .formatted());
}

TEST_F(KeyValueProvisionerTest, AnswersAreKeptForTheCacheTimeThenReadAgain)
{
    using namespace std::chrono_literals;
    CDBDatabaseProxyI& connection = database.requestConnection();
    CTFTPKeyValueProvisioner kept(config, database.database(), connection, database.statements(), 1h, 100);
    CTFTPKeyValueProvisioner brief(config, database.database(), connection, database.statements(), 300ms, 100);
    CTFTPKeyValueProvisioner uncached(config, database.database(), connection, database.statements(), 0s, 100);
    const auto value = [](CTFTPKeyValueProvisioner& provisioner, const std::string& key) {
        osk::CMultiVariant results;
        provisioner.keyValue("device", "map", key, results);
        return results.top().type().type() == osk::CVariantType::t_unknown ? std::string("(unknown)")
                                                                           : results.top().string();
    };
    for (auto* provisioner : {&kept, &brief, &uncached}) {
        EXPECT_EQ("modem-a.cfg", value(*provisioner, "10.0.0.1"));
        EXPECT_EQ("(unknown)", value(*provisioner, "10.0.0.7"));
    }
    execute("UPDATE osk_keyvalues SET KVALUE = 'modem-new.cfg' WHERE KKEY = '10.0.0.1'");
    put("device", "map", "10.0.0.7", "appeared.cfg", true);

    // Found and missing answers alike stay as they were while kept.
    EXPECT_EQ("modem-a.cfg", value(kept, "10.0.0.1"));
    EXPECT_EQ("(unknown)", value(kept, "10.0.0.7"));
    EXPECT_EQ(2u, kept.kept());
    EXPECT_EQ("modem-new.cfg", value(uncached, "10.0.0.1"));
    EXPECT_EQ("appeared.cfg", value(uncached, "10.0.0.7"));
    EXPECT_EQ(0u, uncached.kept());

    std::this_thread::sleep_for(400ms);
    EXPECT_EQ("modem-new.cfg", value(brief, "10.0.0.1"));
    EXPECT_EQ("appeared.cfg", value(brief, "10.0.0.7"));
    kept.forget();
    EXPECT_EQ("modem-new.cfg", value(kept, "10.0.0.1"));

    // The three functions share what is kept: the existence test answers
    // from the same lookup.
    osk::CMultiVariant results;
    execute("DELETE FROM osk_keyvalues WHERE KKEY = '10.0.0.1'");
    kept.keyValueExists("device", "map", "10.0.0.1", "true", results);
    EXPECT_TRUE(results.top().boolean());
}

TEST_F(KeyValueProvisionerTest, ClosingTheDatabaseWithdrawsTheProvisioner)
{
    database.close();
    EXPECT_EQ(nullptr, database.provisioner());
}

// The engine's lookups have a connection of their own: a statement that
// keeps the controller's connection (the console's) busy does not hold them.
TEST_F(KeyValueProvisionerTest, ALookupDoesNotWaitForAStatementOnTheConsolesConnection)
{
    std::atomic<bool> started{false};
    std::string slowFailure;
    std::thread slow([&] {
        try {
            CDBBaseSession session(config, database.database());
            auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
            started = true;
            transaction->select("SELECT COUNT(*) FROM RDB$TYPES A, RDB$TYPES B, RDB$TYPES C, RDB$TYPES D")->fetch();
        } catch (const osk::CException& e) {
            slowFailure = e.printableError();
        }
    });
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ("modem-a.cfg", eval("$DB.KEYVALUE(\"device\", \"map\", 10.0.0.1)").string());
    const auto took = std::chrono::steady_clock::now() - before;

    // The count ends only now, cancelled.
    fbprov::CFbStatus status;
    fbprov::CFbDatabaseProxy::of(database.database().proxy()).attachment()->get()->cancelOperation(status.get(),
                                                                                                  fb_cancel_raise);
    slow.join();
    EXPECT_NE(std::string::npos, slowFailure.find("operation was cancelled")) << slowFailure;
    // The count would hold it until the answer time-out (10 s).
    EXPECT_LT(took, std::chrono::seconds(3));
}

} // namespace
