#include "oodb/db_constants.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using C = CDBConstants;

TEST(DBConstantsTest, StatementTemplatesByName)
{
    struct Expected {
        const char* name;
        const char* text;
    };
    const Expected expected[] = {
        {"SELECT_WITH_PRIMARY_KEY", "SELECT * FROM <<TABLE>> WHERE PK = ?"},
        {"FAST_SELECT_PK", "SELECT * FROM <<TABLE>> WHERE (PK = ?)"},
        {"FAST_SELECT_PK_GT", "SELECT * FROM <<TABLE>> WHERE (PK > ?) ORDER BY PK ASC"},
        {"FAST_SELECT_PK_LT", "SELECT * FROM <<TABLE>> WHERE (PK < ?) ORDER BY PK DESC"},
        {"FAST_SELECT_FWD_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC"},
        {"FAST_SELECT_BWD_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK DESC"},
        {"SELECT_PK_RANGE", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC"},
        {"SELECT_PK_GT_EQ", "SELECT * FROM <<TABLE>> WHERE PK >= ? ORDER BY PK ASC"},
        {"SELECT_PK_LOWER_BOUND", "SELECT * FROM <<TABLE>> WHERE PK = (SELECT MIN(PK) FROM <<TABLE>>)"},
        {"SELECT_PK_UPPER_BOUND", "SELECT * FROM <<TABLE>> WHERE PK = (SELECT MAX(PK) FROM <<TABLE>>)"},
        {"SELECT_FOR_CURSOR", "SELECT * FROM <<TABLE>> WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC FOR UPDATE OF"},
        {"SELECT_SINGLE_FOR_CURSOR", "SELECT * FROM <<TABLE>> WHERE (PK = ?) FOR UPDATE OF"},
        {"UPDATE_SHORT_USING_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE CURRENT OF"},
        {"UPDATE_LONG_USING_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE CURRENT OF"},
        {"DELETE_SHORT_USING_CURSOR", "DELETE FROM <<TABLE>> WHERE CURRENT OF"},
        {"DELETE_LONG_USING_CURSOR", "DELETE FROM <<TABLE>> WHERE CURRENT OF"},
        {"UPDATE_WITHOUT_CURSOR", "UPDATE <<TABLE>> SET <<FIELDS>> WHERE PK = ?"},
        {"DELETE_WITHOUT_CURSOR", "DELETE FROM <<TABLE>> WHERE PK = ?"},
        {"INSERT_WITH_PRIMARY_KEY", "INSERT INTO <<TABLE>> (PK) VALUES (?)"},
        {"INSERT_ALL_FIELDS", "INSERT INTO <<TABLE>> (<<FIELD_NAMES>>) VALUES (<<FIELD_VALUES>>)"},
        {"SELECT_LARGEST_PRIMARY_KEY", "SELECT MAX(ALL PK) FROM <<TABLE>>"},
        {"SET_PK_GENERATOR_VALUE", "EXECUTE PROCEDURE SET_GENERATOR('<<UPPER_TABLE>>',?)"},
        {"NEXT_PK_FROM_GENERATOR", "SELECT GEN_ID(<<TABLE>>,1) FROM RDB$DATABASE"},
    };
    for (const Expected& entry : expected) {
        SCOPED_TRACE(entry.name);
        const C::CTemplate* found = C::statementTemplate(entry.name);
        ASSERT_NE(nullptr, found);
        EXPECT_STREQ(entry.text, found->text);
    }
    size_t count = 0;
    for (const C::CTemplate* t = C::statementTemplates(); t->name != nullptr; ++t) ++count;
    EXPECT_EQ(sizeof(expected) / sizeof(expected[0]), count);
    EXPECT_EQ(nullptr, C::statementTemplate("select_with_primary_key"));
    EXPECT_EQ(nullptr, C::statementTemplate(""));
    EXPECT_STREQ("ALTER TABLE <<TABLE>> ADD CONSTRAINT <<CONSTRAINTS>> PRIMARY KEY (<<PRIMARY_KEYS>>)",
                 C::primaryKeyConstraintTemplate);
}

TEST(DBConstantsTest, CursorsOfTemplates)
{
    EXPECT_EQ(C::CURSOR_LARGEST_KEY, C::statementTemplate("SELECT_LARGEST_PRIMARY_KEY")->cursor);
    EXPECT_EQ(C::CURSOR_FAST_FWD_RANGE, C::statementTemplate("FAST_SELECT_FWD_PK_RANGE")->cursor);
    EXPECT_EQ(C::CURSOR_FAST_BWD_RANGE, C::statementTemplate("FAST_SELECT_BWD_PK_RANGE")->cursor);
    EXPECT_EQ(C::CURSOR_FAST_SELECT_PK_LT, C::statementTemplate("FAST_SELECT_PK_LT")->cursor);
    EXPECT_EQ(C::CURSOR_FAST_SELECT_PK_GT, C::statementTemplate("FAST_SELECT_PK_GT")->cursor);
    EXPECT_EQ(C::CURSOR_NEXT_FROM_GENERATOR, C::statementTemplate("NEXT_PK_FROM_GENERATOR")->cursor);
    // An update through a cursor runs on the cursor of its select.
    EXPECT_EQ(C::statementTemplate("SELECT_SINGLE_FOR_CURSOR")->cursor,
              C::statementTemplate("UPDATE_SHORT_USING_CURSOR")->cursor);
    EXPECT_EQ(C::statementTemplate("SELECT_FOR_CURSOR")->cursor,
              C::statementTemplate("DELETE_LONG_USING_CURSOR")->cursor);
    // Predefined cursors are distinct per select.
    std::set<uint32_t> selects;
    for (const char* name : {"SELECT_WITH_PRIMARY_KEY", "FAST_SELECT_PK", "FAST_SELECT_PK_GT", "FAST_SELECT_PK_LT",
                             "FAST_SELECT_FWD_PK_RANGE", "FAST_SELECT_BWD_PK_RANGE", "SELECT_PK_RANGE",
                             "SELECT_PK_LOWER_BOUND", "SELECT_PK_UPPER_BOUND", "SELECT_LARGEST_PRIMARY_KEY"}) {
        EXPECT_TRUE(selects.insert(C::statementTemplate(name)->cursor).second) << name;
    }
    EXPECT_EQ("CUR14", C::cursorName(14));
    EXPECT_EQ("CUR0", C::cursorName(0));
}

TEST(DBConstantsTest, AccessModesAndCommitTypes)
{
    EXPECT_EQ("READ_WRITE_ACCESS", C::accessModeName(0));
    EXPECT_EQ("APPEND_ACCESS", C::accessModeName(1));
    EXPECT_EQ("READ_ONLY_ACCESS", C::accessModeName(2));
    EXPECT_EQ("ADAPT_TO_ANY_ACCESS_NO_COMMIT", C::accessModeName(3));
    EXPECT_EQ("ACCESS_MODE_NOT_FOUND", C::accessModeName(4));
    EXPECT_EQ("ACCESS_MODE_NOT_FOUND", C::accessModeName(-1));

    // Read-only on a read-write transaction keeps it; read-write on a
    // read-only one does not.
    EXPECT_TRUE(C::compatibleAccessMode(C::READ_ONLY_ACCESS, C::READ_WRITE_ACCESS));
    EXPECT_FALSE(C::compatibleAccessMode(C::READ_WRITE_ACCESS, C::READ_ONLY_ACCESS));
    EXPECT_FALSE(C::compatibleAccessMode(C::APPEND_ACCESS, C::READ_ONLY_ACCESS));
    EXPECT_TRUE(C::compatibleAccessMode(C::READ_ONLY_ACCESS, C::READ_ONLY_ACCESS));
    EXPECT_TRUE(C::compatibleAccessMode(C::READ_WRITE_ACCESS, C::APPEND_ACCESS));
    EXPECT_TRUE(C::compatibleAccessMode(C::ADAPT_TO_ANY_ACCESS_NO_COMMIT, C::READ_ONLY_ACCESS));
    EXPECT_FALSE(C::compatibleAccessMode(C::READ_WRITE_ACCESS, C::ADAPT_TO_ANY_ACCESS_NO_COMMIT));

    for (int type = 0; type <= C::maxTransType; ++type) {
        const bool hard = type == 2 || type == 5 || type == 6;
        EXPECT_EQ(hard ? 1 : 0, C::commitType(type)) << type;
    }
}

TEST(DBConstantsTest, LoadNamesAtTheLimits)
{
    EXPECT_EQ("light load", C::loadName(0));
    EXPECT_EQ("light load", C::loadName(1000));
    EXPECT_EQ("medium load", C::loadName(1001));
    EXPECT_EQ("medium load", C::loadName(7000));
    EXPECT_EQ("heavy load", C::loadName(7001));
}

TEST(DBConstantsTest, SchemaVersionStatements)
{
    EXPECT_EQ("INSERT INTO SCHEMA_VERSION (NUMBER) VALUES (30)", C::insertSchemaVersion(30));
    EXPECT_EQ("UPDATE SCHEMA_VERSION T SET T.NUMBER = 4294967295)", C::updateSchemaVersion(4294967295u));
    EXPECT_STREQ("SELECT * FROM SCHEMA_VERSION", C::selectSchemaVersion);
}

} // namespace
