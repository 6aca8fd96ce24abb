#include "oodb/db_statement_expander.h"

#include <gtest/gtest.h>

#include "oodb/db_constants.h"
#include "unit/oodb/oodb_expect.h"

namespace {

CDBTypeStringMap columns()
{
    // Given out of order: the lists follow the sorted column names.
    CDBTypeStringMap defs;
    defs.setType("NAME", CDBFieldType::DB_TYPE_STRING);
    defs.setType("ADDR", CDBFieldType::DB_TYPE_IP_ADDRESS);
    defs.setType("MASK", CDBFieldType::DB_TYPE_ULONG);
    return defs;
}

std::string expandNamed(const CDBStatementExpander& expander, const char* name)
{
    return expander.expand(CDBConstants::statementTemplate(name)->text);
}

TEST(DBStatementExpanderTest, ColumnListsFollowSortedNames)
{
    const CDBStatementExpander expander("osk_hosts", columns());
    EXPECT_EQ("UPDATE osk_hosts SET ADDR=?,MASK=?,NAME=? WHERE PK = ?",
              expandNamed(expander, "UPDATE_WITHOUT_CURSOR"));
    EXPECT_EQ("INSERT INTO osk_hosts (ADDR,MASK,NAME) VALUES (?,?,?)", expandNamed(expander, "INSERT_ALL_FIELDS"));
    EXPECT_EQ("EXECUTE PROCEDURE SET_GENERATOR('OSK_HOSTS',?)", expandNamed(expander, "SET_PK_GENERATOR_VALUE"));
    EXPECT_EQ("SELECT * FROM osk_hosts WHERE PK = (SELECT MAX(PK) FROM osk_hosts)",
              expandNamed(expander, "SELECT_PK_UPPER_BOUND"));
    EXPECT_EQ("ALTER TABLE osk_hosts ADD CONSTRAINT osk_hosts_primary PRIMARY KEY (PK)",
              expander.expand(CDBConstants::primaryKeyConstraintTemplate));
}

TEST(DBStatementExpanderTest, SingleAndNoColumns)
{
    CDBTypeStringMap one;
    one.setType("OID", CDBFieldType::DB_TYPE_LONG);
    EXPECT_EQ("INSERT INTO t (OID) VALUES (?)", CDBStatementExpander("t", one).expand(
                                                    CDBConstants::statementTemplate("INSERT_ALL_FIELDS")->text));
    const CDBStatementExpander none("t", CDBTypeStringMap());
    EXPECT_EQ("UPDATE t SET  WHERE PK = ?", expandNamed(none, "UPDATE_WITHOUT_CURSOR"));
    EXPECT_EQ("", none.fieldValues());
}

TEST(DBStatementExpanderTest, HostileNamesAreCopiedNotExpandedAgain)
{
    CDBTypeStringMap defs;
    defs.setType("<<TABLE>>", CDBFieldType::DB_TYPE_STRING);
    const CDBStatementExpander expander("<<FIELDS>>", defs);
    EXPECT_EQ("UPDATE <<FIELDS>> SET <<TABLE>>=? WHERE PK = ?", expandNamed(expander, "UPDATE_WITHOUT_CURSOR"));
    // Unknown or broken placeholders stay as they are.
    EXPECT_EQ("<<NOPE>> <<TABLE <<<<FIELDS>> << <<", expander.expand("<<NOPE>> <<TABLE <<<<TABLE>> << <<"));
    EXPECT_EQ("", expander.expand(""));
    EXPECT_EQ("x<", expander.expand("x<"));
    // Lower-case placeholders are not placeholders.
    EXPECT_EQ("<<table>>", expander.expand("<<table>>"));
}

TEST(DBStatementExpanderTest, CursorNamesFollowCursorEndings)
{
    const CDBStatementExpander expander("t", columns());
    EXPECT_EQ("SELECT * FROM t WHERE (PK = ?) FOR UPDATE OF CUR2",
              CDBStatementExpander::withCursor(expandNamed(expander, "SELECT_SINGLE_FOR_CURSOR"), 2));
    EXPECT_EQ("DELETE FROM t WHERE CURRENT OF CUR3",
              CDBStatementExpander::withCursor(expandNamed(expander, "DELETE_LONG_USING_CURSOR"), 3));
    EXPECT_EQ("SELECT * FROM t WHERE PK = ?",
              CDBStatementExpander::withCursor(expandNamed(expander, "SELECT_WITH_PRIMARY_KEY"), 9));
    EXPECT_FALSE(CDBStatementExpander::needsCursor("FOR UPDATE OF x"));
    EXPECT_FALSE(CDBStatementExpander::needsCursor(""));
    EXPECT_TRUE(CDBStatementExpander::needsCursor("WHERE CURRENT OF"));
}

TEST(DBStatementExpanderTest, NamedStatementsCarryTheirCursor)
{
    const CDBStatementExpander expander("osk_hosts", columns());
    EXPECT_EQ("SELECT * FROM osk_hosts WHERE (PK >= ? AND PK <= ?) ORDER BY PK ASC FOR UPDATE OF CUR3",
              expander.statement("SELECT_FOR_CURSOR"));
    EXPECT_EQ("UPDATE osk_hosts SET ADDR=?,MASK=?,NAME=? WHERE CURRENT OF CUR3",
              expander.statement("UPDATE_LONG_USING_CURSOR"));
    EXPECT_EQ("DELETE FROM osk_hosts WHERE CURRENT OF CUR2", expander.statement("DELETE_SHORT_USING_CURSOR"));
    EXPECT_EQ("SELECT GEN_ID(osk_hosts,1) FROM RDB$DATABASE", expander.statement("NEXT_PK_FROM_GENERATOR"));
    EXPECT_TRUE(raisesOodb([&] { expander.statement("SELECT_EVERYTHING"); },
                           "Unable to find precompiled statement 'SELECT_EVERYTHING'.", "No such statement."));
}

} // namespace
