#include <ibase.h>

#include "extended/exception.h"
#include "firebird_provider/fb_sequence.h"
#include "support/thrown.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using fbprov::CFbBytes;
using fbprov::CFbSequence;
using fbprov::CFbStatement;
using fbprov::CFbTransaction;
using fbprov::CFbValues;

class FbStatementTest : public fbtest::FbDatabaseTest {
protected:
    void SetUp() override
    {
        run("CREATE TABLE PERSON (PK BIGINT NOT NULL PRIMARY KEY, NAME VARCHAR(80) CHARACTER SET UTF8 UNIQUE, "
            "AGE INTEGER, NOTE BLOB SUB_TYPE 1, PHOTO BLOB SUB_TYPE 0, BORN TIMESTAMP)");
        run("CREATE TABLE X (A INTEGER)");
    }

    void insertPerson(CFbTransaction& transaction, const CFbValues& values)
    {
        CFbStatement(transaction, "INSERT INTO PERSON (PK, NAME, AGE) VALUES (?, ?, ?)").execute(transaction, values);
    }

    // The NAME of every row, in key order.
    std::vector<std::string> names()
    {
        CFbTransaction transaction(db(), CFbTransaction::readOnly);
        CFbStatement query(transaction, "SELECT NAME FROM PERSON ORDER BY PK");
        auto rows = query.select(transaction);
        std::vector<std::string> result;
        while (rows->fetch())
            result.push_back(rows->isNull(0) ? "<null>" : rows->asString("NAME"));
        return result;
    }

    // The exception a statement throws when run in a read-write transaction.
    osk::CException failure(const std::string& sql, const CFbValues& values)
    {
        return test_support::thrown([&] { run(sql, values); });
    }
};

TEST_F(FbStatementTest, HostileTextsTravelAsParametersAndAreStoredVerbatim)
{
    const std::string hostile[] = {"O'Brien", "1; DROP TABLE x", "x'); DROP TABLE X; --", "\"quoted\" \\ back",
                                   "Zelvo \xc5\xbe\xc3\xb3"};
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        int64_t key = 1;
        for (const std::string& text : hostile)
            insertPerson(transaction, {key++, text, int32_t(40)});
        transaction.commit();
    }
    EXPECT_EQ(std::vector<std::string>(std::begin(hostile), std::end(hostile)), names());
    EXPECT_TRUE(tableExists("X"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM PERSON WHERE NAME = ?", {std::string("O'Brien")}));
    EXPECT_EQ(1, scalar("SELECT PK FROM PERSON WHERE NAME = ?", {std::string("O'Brien")}));
}

TEST_F(FbStatementTest, UpdateAndDeleteReportTheRowsTheyTouched)
{
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        insertPerson(transaction, {int64_t(1), std::string("a"), int32_t(10)});
        insertPerson(transaction, {int64_t(2), std::string("b"), int32_t(20)});
        insertPerson(transaction, {int64_t(3), std::string("c"), std::monostate()});
        CFbStatement update(transaction, "UPDATE PERSON SET AGE = AGE + ? WHERE AGE >= ?");
        EXPECT_EQ(2u, update.execute(transaction, {int32_t(1), int32_t(10)}));
        EXPECT_EQ(0u, update.execute(transaction, {int32_t(1), int32_t(99)}));
        EXPECT_EQ(1u, CFbStatement(transaction, "DELETE FROM PERSON WHERE PK = ?").execute(transaction, {int64_t(2)}));
        transaction.commit();
    }
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), names());
    EXPECT_EQ(11, scalar("SELECT AGE FROM PERSON WHERE PK = 1"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM PERSON WHERE AGE IS NULL"));
}

TEST_F(FbStatementTest, ColumnsReadBackInTheirTypes)
{
    const int64_t bigKey = int64_t(1) << 40;
    std::string longNote;
    for (int i = 0; i < 500; ++i)
        longNote += "line " + std::to_string(i) + "\n"; // several blob segments
    const CFbBytes photo = {0, 1, 2, 0, 255, 0};
    const osk::CTimeT born(1700000000);
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        CFbStatement(transaction, "INSERT INTO PERSON (PK, NAME, AGE, NOTE, PHOTO, BORN) VALUES (?, ?, ?, ?, ?, ?)")
            .execute(transaction, {bigKey, std::string("big"), int32_t(-7), longNote, photo, born});
        transaction.commit();
    }
    CFbTransaction transaction(db(), CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT PK, NAME, AGE, NOTE, PHOTO, BORN, 2.5 AS HALF FROM PERSON");
    auto rows = query.select(transaction);
    ASSERT_TRUE(rows->fetch());
    EXPECT_EQ(7u, rows->columnCount());
    EXPECT_EQ(bigKey, rows->asInt64("PK"));
    EXPECT_EQ("big", rows->asString("NAME"));
    EXPECT_EQ(-7, rows->asInt64("AGE"));
    EXPECT_EQ("-7", rows->asString("AGE"));
    EXPECT_EQ(longNote, rows->asString("NOTE"));
    EXPECT_EQ(photo, rows->asBytes("PHOTO"));
    EXPECT_EQ(born.seconds(), rows->asTime("BORN").seconds());
    EXPECT_DOUBLE_EQ(2.5, rows->asDouble("HALF"));
    EXPECT_THROW(rows->asInt64("HALF"), osk::CException) << "a scaled number is not an integer";
    EXPECT_THROW(rows->asInt64("NAME"), osk::CException);
    EXPECT_THROW(rows->asString("NO_SUCH"), osk::CException);
    EXPECT_FALSE(rows->fetch());
    EXPECT_THROW(rows->isNull(0), osk::CException) << "no row after the last";
}

TEST_F(FbStatementTest, NullsAreReadAsNullAndRefusedAsValues)
{
    run("INSERT INTO PERSON (PK) VALUES (?)", {int64_t(5)});
    CFbTransaction transaction(db(), CFbTransaction::readOnly);
    CFbStatement query(transaction, "SELECT NAME, NOTE, BORN FROM PERSON");
    auto rows = query.select(transaction);
    ASSERT_TRUE(rows->fetch());
    for (unsigned column = 0; column < 3; ++column)
        EXPECT_TRUE(rows->isNull(column));
    EXPECT_THROW(rows->asString("NAME"), osk::CException);
}

TEST_F(FbStatementTest, AWrongNumberOfValuesIsRefusedBeforeExecution)
{
    osk::CException e = failure("INSERT INTO PERSON (PK, NAME) VALUES (?, ?)", {int64_t(1)});
    EXPECT_NE(std::string::npos, e.printableError().find("The statement has 2 parameters but 1 values were given"));
    EXPECT_TRUE(names().empty());
}

TEST_F(FbStatementTest, DatabaseErrorsAreExplainedWithTheStatementAndFirebirdsText)
{
    run("INSERT INTO PERSON (PK, NAME) VALUES (?, ?)", {int64_t(1), std::string("a")});
    osk::CException duplicate = failure("INSERT INTO PERSON (PK, NAME) VALUES (?, ?)", {int64_t(2), std::string("a")});
    EXPECT_EQ("firebird_provider", duplicate.module());
    EXPECT_NE(std::string::npos, duplicate.printableError().find("A unique value already exists.")) << duplicate.printableError();
    EXPECT_NE(std::string::npos, duplicate.printableError().find("Cannot execute the SQL statement 'INSERT INTO PERSON"));

    osk::CException unknown = failure("SELECT * FROM NOWHERE", {});
    EXPECT_EQ(isc_dsql_error, unknown.err_code());
    EXPECT_NE(std::string::npos, unknown.printableError().find("The table does not exist.")) << unknown.printableError();
    EXPECT_NE(std::string::npos, unknown.printableError().find("NOWHERE")) << unknown.printableError();
}

TEST_F(FbStatementTest, ReadOnlyTransactionsRefuseWrites)
{
    CFbTransaction transaction(db(), CFbTransaction::readOnly);
    const osk::CException e = test_support::thrown([&] {
        insertPerson(transaction, {int64_t(1), std::string("a"), int32_t(1)});
    });
    EXPECT_EQ(isc_read_only_trans, e.err_code());
    EXPECT_NE(std::string::npos, e.printableError().find("The transaction is read-only")) << e.printableError();
    transaction.rollback();
    EXPECT_TRUE(names().empty());
}

TEST_F(FbStatementTest, RollbackDiscardsAndCommitRetainingKeepsTheTransactionOpen)
{
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        insertPerson(transaction, {int64_t(1), std::string("kept"), int32_t(1)});
        transaction.commitRetaining();
        EXPECT_TRUE(transaction.active());
        insertPerson(transaction, {int64_t(2), std::string("undone"), int32_t(1)});
        transaction.rollback();
        EXPECT_FALSE(transaction.active());
        EXPECT_THROW(transaction.commit(), osk::CException);
    }
    {
        CFbTransaction abandoned(db(), CFbTransaction::readWrite);
        insertPerson(abandoned, {int64_t(3), std::string("abandoned"), int32_t(1)});
    }
    EXPECT_EQ(std::vector<std::string>{"kept"}, names());
}

TEST_F(FbStatementTest, SequencesHandOutKeys)
{
    CFbSequence sequence("person_keys");
    EXPECT_EQ("PERSON_KEYS", sequence.name());
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        EXPECT_FALSE(sequence.exists(transaction));
        sequence.create(transaction);
        transaction.commit();
    }
    CFbTransaction transaction(db(), CFbTransaction::readWrite);
    EXPECT_TRUE(sequence.exists(transaction));
    for (const char* name : {"a", "b", "c"})
        insertPerson(transaction, {sequence.next(transaction), std::string(name), int32_t(1)});
    sequence.restart(transaction, 100);
    insertPerson(transaction, {sequence.next(transaction), std::string("d"), int32_t(1)});
    transaction.commit();
    EXPECT_EQ(3, scalar("SELECT PK FROM PERSON WHERE NAME = 'c'"));
    EXPECT_EQ(101, scalar("SELECT PK FROM PERSON WHERE NAME = 'd'"));

    EXPECT_THROW(CFbSequence("keys; DROP TABLE X"), osk::CException);
    EXPECT_THROW(CFbSequence("1keys"), osk::CException);
    EXPECT_THROW(CFbSequence(""), osk::CException);
}

TEST_F(FbStatementTest, NamedCursorUpdatesAndDeletesTheRowItStandsOn)
{
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        for (int64_t key = 1; key <= 4; ++key)
            insertPerson(transaction, {key, "p" + std::to_string(key), int32_t(key * 10)});
        transaction.commit();
    }
    {
        CFbTransaction transaction(db(), CFbTransaction::readWrite);
        CFbStatement select(transaction, "SELECT PK, AGE FROM PERSON WHERE PK >= ? ORDER BY PK FOR UPDATE OF AGE");
        select.cursorName("CUR9");
        CFbStatement update(transaction, "UPDATE PERSON SET AGE = ?, NAME = ? WHERE CURRENT OF CUR9");
        CFbStatement remove(transaction, "DELETE FROM PERSON WHERE CURRENT OF CUR9");
        auto rows = select.select(transaction, {int64_t(2)});
        while (rows->fetch()) {
            if (rows->asInt64("PK") == 3)
                EXPECT_EQ(1u, remove.execute(transaction));
            else
                EXPECT_EQ(1u, update.execute(transaction, {int32_t(rows->asInt64("AGE") + 1), "it's " + rows->asString("PK")}));
        }
        rows->close();
        transaction.commit();
    }
    EXPECT_EQ((std::vector<std::string>{"p1", "it's 2", "it's 4"}), names());
    EXPECT_EQ(10, scalar("SELECT AGE FROM PERSON WHERE PK = 1"));
    EXPECT_EQ(21, scalar("SELECT AGE FROM PERSON WHERE PK = 2"));
    EXPECT_EQ(41, scalar("SELECT AGE FROM PERSON WHERE PK = 4"));
}

TEST_F(FbStatementTest, UpdateWhereCurrentOfWithoutAnOpenCursorFails)
{
    CFbTransaction transaction(db(), CFbTransaction::readWrite);
    EXPECT_THROW(CFbStatement(transaction, "UPDATE PERSON SET AGE = 1 WHERE CURRENT OF CUR1").execute(transaction),
                 osk::CException);
}

} // namespace
