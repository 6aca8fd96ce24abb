// Tags, foreign keys, blobs and column values of records.
#include <gtest/gtest.h>

#include "oodb/db_field_interface.h"
#include "oodb/db_foreign_key_class_map.h"
#include "oodb/db_foreign_key_map.h"
#include "oodb/db_large_blob_map.h"
#include "oodb/db_tag_specs.h"
#include "standard/string_map.h"
#include "unit/oodb/oodb_expect.h"

namespace {

TEST(DBTagSpecsTest, NamesAreUniqueAndAdapterInfoNeedsATag)
{
    CDBTagSpecs tags;
    tags.insert(CDBTagSpec("by_name", "SELECT * FROM t WHERE NAME = ?", 1001));
    EXPECT_TRUE(raisesOodb([&] { tags.insert(CDBTagSpec("by_name", "other")); },
                           "Cannot insert precompiled statement 'by_name'.", "Statement 'by_name' already exists."));
    EXPECT_EQ("SELECT * FROM t WHERE NAME = ?", tags.find("by_name").statement());

    tags.setAdapterInfo("by_name", osk::CStringMap("handle=7\nprepared=true"));
    EXPECT_EQ("7", tags.find("by_name").adapterInfo().get_string("handle", ""));
    EXPECT_TRUE(raisesOodb([&] { tags.setAdapterInfo("by_nam", osk::CStringMap()); },
                           "Cannot set adapter info for tag 'by_nam'.", "No such statement."));
    EXPECT_TRUE(raisesOodb([&] { tags.find("BY_NAME"); }, "Unable to find precompiled statement 'BY_NAME'.",
                           "No such statement."));
    EXPECT_TRUE(tags.remove("by_name"));
    EXPECT_FALSE(tags.remove("by_name"));
    tags.insert(CDBTagSpec("by_name", "again"));
    EXPECT_EQ(1u, tags.size());
}

class Referenced : public osk::CObject {
public:
    std::string typeName() const override { return "Referenced"; }
    std::string string() const override { return "r"; }
    void string(const std::string&) override {}
};

TEST(DBForeignKeyTest, ValuesByAttribute)
{
    CDBForeignKeyMap keys;
    keys.set(CDBForeignKeyValue("domain", "domain", 12));
    keys.set(CDBForeignKeyValue("policy", "policy", 3));
    keys.set(CDBForeignKeyValue("domain", "domain", 13));
    EXPECT_EQ(2u, keys.size());
    EXPECT_EQ(13, keys.find("domain").key());
    EXPECT_TRUE(raisesOodb([&] { keys.find("Domain"); }, "Unable to find foreign key value for attribute 'Domain'.",
                           "No such attribute."));
    keys.remove("policy");
    EXPECT_FALSE(keys.exists("policy"));
    EXPECT_TRUE(raisesOodb([&] { keys.remove("policy"); },
                           "Failed to remove foreign key value attribute 'policy'.", "No such attribute."));
}

TEST(DBForeignKeyTest, CachedReferenceLivesNoLongerThanItsObject)
{
    CDBForeignKeyValue value("domain", "domain", 12);
    const std::string error = "Unable to reference foreign key 'domain' pointing to <domain,12>.";
    EXPECT_TRUE(raisesOodb([&] { value.reference(); }, error, "Cached pointer is invalid."));

    auto object = std::make_shared<Referenced>();
    value.cache(object);
    EXPECT_EQ(object, value.reference());
    // Pointing at the same key keeps the cache; another key drops it.
    value.key(12);
    EXPECT_TRUE(value.isCached());
    value.key(14);
    EXPECT_FALSE(value.isCached());
    EXPECT_TRUE(raisesOodb([&] { value.reference(); },
                           "Unable to reference foreign key 'domain' pointing to <domain,14>.",
                           "Cached pointer is invalid."));
    value.cache(object);
    object.reset();
    EXPECT_TRUE(raisesOodb([&] { value.reference(); },
                           "Unable to reference foreign key 'domain' pointing to <domain,14>.",
                           "Cached pointer is invalid."));
}

TEST(DBForeignKeyTest, ClassMapFromCatalogueRowsIgnoresCase)
{
    CDBForeignKeyClassMap classes;
    // The catalogue pads its names with blanks.
    EXPECT_TRUE(classes.addCatalogueRow(osk::CStringMap(
        "SRC_FIELD=DOMAIN_ID     \nSRC_TABLE=OSK_USERS   \nDEST_FIELD=OID   \nDEST_TABLE=OSK_DOMAINS   ")));
    EXPECT_TRUE(classes.add("osk_users", "policy_id", "tftp_policy", "PK"));
    EXPECT_TRUE(classes.add("osk_devices", "DOMAIN_ID", "osk_domains", "OID"));
    EXPECT_FALSE(classes.addCatalogueRow(osk::CStringMap("SRC_FIELD=X\nSRC_TABLE=T\nDEST_TABLE=D")));
    EXPECT_FALSE(classes.add("T", "  ", "D", "F"));
    // Names handed over as the catalogue's fixed-width columns.
    EXPECT_TRUE(classes.add("OSK_NETS    \t", "NET_ID  ", "OSK_DOMAINS  ", "OID  \r\n"));
    ASSERT_NE(nullptr, classes.target("osk_nets", "net_id"));
    EXPECT_EQ("OID", classes.target("osk_nets", "net_id")->field);

    const CDBForeignKeyClassMap::CTarget* target = classes.target("osk_users", "domain_id");
    ASSERT_NE(nullptr, target);
    EXPECT_EQ("OSK_DOMAINS", target->table);
    EXPECT_EQ("OID", target->field);
    EXPECT_EQ(2u, classes.foreignKeysOf("OSK_USERS").size());
    EXPECT_EQ(nullptr, classes.target("osk_users", "name"));
    EXPECT_EQ(nullptr, classes.target("T", "X"));
    EXPECT_TRUE(classes.foreignKeysOf("nobody").empty());
    EXPECT_EQ((std::vector<std::string>{"osk_devices", "OSK_NETS", "OSK_USERS"}),
              classes.classesReferencing("Osk_Domains"));
    EXPECT_TRUE(classes.classesReferencing("osk_users").empty());
}

TEST(DBLargeBlobMapTest, OnlyBinaryBlobColumnsHoldBlobs)
{
    CDBTypeStringMap defs;
    defs.setType("IMAGE", CDBFieldType::DB_TYPE_BINARY_BLOB);
    defs.setType("NOTES", CDBFieldType::DB_TYPE_TEXT_BLOB);
    CDBLargeBlobMap blobs(defs);
    EXPECT_TRUE(blobs.get("IMAGE").empty());
    blobs.set("IMAGE", {0, 1, 0xff});
    EXPECT_EQ((CDBLargeBlobMap::bytes_t{0, 1, 0xff}), blobs.get("IMAGE"));
    for (const char* column : {"NOTES", "MISSING", "image"}) {
        const std::string what = std::string("Unable to find blob at column '") + column + "'.";
        EXPECT_TRUE(raisesOodb([&] { blobs.get(column); }, what, "Field is not defined as a binary blob."));
        EXPECT_TRUE(raisesOodb([&] { blobs.set(column, {1}); }, what, "Field is not defined as a binary blob."));
    }
    blobs.clear();
    EXPECT_TRUE(blobs.get("IMAGE").empty());
}

TEST(DBFieldInterfaceTest, AccessFollowsTheOpenMode)
{
    CDBFieldInterface readOnly("NAME", CDBFieldType::DB_TYPE_STRING, CDBFieldInterface::openRead);
    readOnly.load("host-1", false);
    EXPECT_EQ("host-1", readOnly.value());
    EXPECT_TRUE(raisesOodb([&] { readOnly.value("x"); }, "Unable to write column value.", "Column is read-only."));
    EXPECT_TRUE(raisesOodb([&] { readOnly.setNull(); }, "Unable to write column value.", "Column is read-only."));
    EXPECT_EQ("host-1", readOnly.value());

    CDBFieldInterface writeOnly("NAME", CDBFieldType::DB_TYPE_STRING, CDBFieldInterface::openWrite);
    EXPECT_TRUE(writeOnly.isNull());
    writeOnly.value("host-2");
    EXPECT_FALSE(writeOnly.isNull());
    EXPECT_TRUE(raisesOodb([&] { writeOnly.value(); }, "Unable to read column value.",
                           "Column has not been opened for read."));

    CDBFieldInterface both("NAME", CDBFieldType::DB_TYPE_STRING, CDBFieldInterface::openReadWrite);
    both.value("a");
    EXPECT_EQ("a", both.value());
    both.setNull();
    EXPECT_TRUE(both.isNull());
    EXPECT_EQ("", both.value());
    both.load("ignored", true);
    EXPECT_TRUE(both.isNull());
    EXPECT_EQ("", both.value());
}

} // namespace
