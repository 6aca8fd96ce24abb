// Key-value records through the database, and the memberships of secured
// objects: domains set by name, kept across a reload, written as records
// of their own and removed with the object.
#include "prst_generic/prst_key_value.h"

#include <gtest/gtest.h>

#include <string>

#include "prst_database_fixture.h"
#include "prst_generic/prst_domain.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstKeyValueTest : public PrstDatabaseTest {
protected:
    int64_t insert(const std::string& text) { return insertText<CPrstKeyValue>(admin, text); }
    std::string loadedText(int64_t oid) { return PrstDatabaseTest::loadedText<CPrstKeyValue>(oid); }
};

TEST_F(PrstKeyValueTest, TextFormRoundTripsThroughANewObject)
{
    CPrstTransaction transaction(admin);
    auto record = CPrstKeyValue::createTransient(admin);
    record->string("class=device\nsubclass=map\nkey=10.0.0.9\nvalue=modem.cfg\nenabled=false\n");
    EXPECT_EQ("device", record->kclass());
    EXPECT_EQ("10.0.0.9", record->key());
    EXPECT_FALSE(record->enabled());
    auto copy = CPrstKeyValue::createTransient(admin);
    copy->string(record->string());
    EXPECT_EQ(record->string(), copy->string());
    EXPECT_EQ("false", field(copy->string(), "enabled"));
    // A new record is enabled unless told otherwise.
    EXPECT_TRUE(CPrstKeyValue::createTransient(admin)->enabled());
    EXPECT_THROW(copy->string("enabled=maybe\n"), osk::CException);
}

TEST_F(PrstKeyValueTest, InsertLoadUpdateAndDeleteThroughTheDatabase)
{
    const int64_t oid = insert("class=kv-db\nsubclass=map\nkey=a\nvalue=first\n");
    const std::string stored = loadedText(oid);
    EXPECT_EQ("first", field(stored, "value"));
    EXPECT_EQ("true", field(stored, "enabled"));
    {
        CPrstTransaction transaction(admin);
        auto found = CPrstKeyValue::find(admin, "kv-db", "map", "a");
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(oid, found->oid());
        EXPECT_EQ(stored, found->string());
        EXPECT_EQ(nullptr, CPrstKeyValue::find(admin, "kv-db", "map", "b"));
    }
    updateText<CPrstKeyValue>(admin, oid, "value=second\nenabled=false\n");
    EXPECT_EQ("second", field(loadedText(oid), "value"));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_keyvalues WHERE OID = ? AND ENABLED", {oid}));
    committed(admin, [&] { CPrstKeyValue::load(admin, oid)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_keyvalues WHERE OID = ?", {oid}));
}

TEST_F(PrstKeyValueTest, DomainsSetByNameAreKeptAcrossAReload)
{
    const int64_t red = domain("Red"), blue = domain("Blue");
    const int64_t oid = insert("class=kv-members\nsubclass=s\nkey=k\ndomains=Red,Blue\n");
    // Every object stays in the administrators' domain; domains are listed
    // in id order.
    const std::string expected = std::string("Administrators,") + (red < blue ? "Red,Blue" : "Blue,Red");
    EXPECT_EQ(expected, field(loadedText(oid), "domains"));
    {
        CPrstTransaction transaction(admin);
        auto record = CPrstKeyValue::load(admin, oid);
        EXPECT_NE(nullptr, record->memberships().findID(red));
        EXPECT_NE(nullptr, record->memberships().findID(blue));
        EXPECT_EQ(3u, record->memberships().size());
    }
    // One membership row per domain, each naming the object in the form the
    // secured statements match ("<domain id>_<table>").
    EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%\\_osk_keyvalues' "
                        "ESCAPE '\\'",
                        {oid}));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE = ?",
                        {oid, std::to_string(red) + "_osk_keyvalues"}));

    // Replacing the domains replaces the rows.
    updateText<CPrstKeyValue>(admin, oid, "domains=Blue\n");
    EXPECT_EQ("Administrators,Blue", field(loadedText(oid), "domains"));
    EXPECT_EQ(2,
              scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%osk_keyvalues'", {oid}));

    // Numeric serialization reads and writes domain ids.
    admin.serializeNumeric(true);
    EXPECT_EQ("0," + std::to_string(blue), field(loadedText(oid), "domains"));
    updateText<CPrstKeyValue>(admin, oid, "domains=" + std::to_string(red) + "\n");
    admin.serializeNumeric(false);
    EXPECT_EQ("Administrators,Red", field(loadedText(oid), "domains"));
}

TEST_F(PrstKeyValueTest, AnUnknownDomainNameIsRefusedAndNothingChanges)
{
    domain("Red");
    const int64_t oid = insert("class=kv-unknown\nsubclass=s\nkey=k\ndomains=Red\n");
    {
        CPrstTransaction transaction(admin);
        auto record = CPrstKeyValue::load(admin, oid);
        EXPECT_TRUE(raises([&] { record->string("domains=Red,Nowhere\n"); },
                           "Cannot serialize secured object from text.", "Domain 'Nowhere' does not exist.",
                           "prst_generic"));
        EXPECT_EQ("Administrators,Red", field(record->string(), "domains"));
    }
    EXPECT_EQ("Administrators,Red", field(loadedText(oid), "domains"));
}

TEST_F(PrstKeyValueTest, DeleteLeavesNoSecurityOrMembershipRows)
{
    domain("Red");
    const int64_t oid = insert("class=kv-delete\nsubclass=s\nkey=k\ndomains=Red\n");
    const int64_t secured = scalar("SELECT SECURED_REF FROM osk_keyvalues WHERE OID = ?", {oid});
    const int64_t memberships = scalar("SELECT DOM_MEMBERSHIPS_REF FROM osk_secured_object WHERE OID = ?", {secured});
    ASSERT_EQ(2, scalar("SELECT COUNT(*) FROM osk_domain_mships_links WHERE SRC_ATTR_REF = ?", {memberships}));

    committed(admin, [&] { CPrstKeyValue::load(admin, oid)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_secured_object WHERE OID = ?", {secured}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_mships WHERE OID = ?", {memberships}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_domain_mships_links WHERE SRC_ATTR_REF = ?", {memberships}));
    EXPECT_EQ(0,
              scalar("SELECT COUNT(*) FROM osk_domain_id WHERE SRC_PK = ? AND SRC_TABLE LIKE '%osk_keyvalues'", {oid}));
}

TEST_F(PrstKeyValueTest, AFailedCommitLeavesANewObjectNew)
{
    CPrstTransaction transaction(admin);
    auto record = CPrstKeyValue::createTransient(admin);
    // A key longer than its column: the engine refuses the row.
    record->place("kv-fail", "s", std::string(300, 'k'));
    EXPECT_THROW(record->commit(), osk::CException);
    EXPECT_FALSE(record->existing());
    EXPECT_EQ(CPrstUserBase::noOid, record->oid());
}

} // namespace
