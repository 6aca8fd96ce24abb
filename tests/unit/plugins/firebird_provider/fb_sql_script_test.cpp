#include <gtest/gtest.h>

#include "extended/exception.h"
#include "firebird_provider/fb_sql_script.h"
#include "support/thrown.h"

namespace {

using fbprov::CFbSqlScript;
using statements_t = std::vector<std::string>;

TEST(FbSqlScript, SplitsAtTerminatorsOutsideQuotesAndComments)
{
    const std::string script = "CREATE TABLE A (X VARCHAR(10));\n"
                               "-- a comment; with a terminator\n"
                               "INSERT INTO A VALUES ('it''s; fine');\n"
                               "/* block; comment */ INSERT INTO \"A;B\" VALUES (1)  ;  ;\n"
                               "SELECT 1 FROM RDB$DATABASE";
    EXPECT_EQ((statements_t{"CREATE TABLE A (X VARCHAR(10))", "INSERT INTO A VALUES ('it''s; fine')",
                            "INSERT INTO \"A;B\" VALUES (1)", "SELECT 1 FROM RDB$DATABASE"}),
              CFbSqlScript::split(script, "v.sql"));
}

TEST(FbSqlScript, SetTermChangesTheTerminatorForProcedureBodies)
{
    const std::string script = "SET TERM ^ ;\n"
                               "CREATE PROCEDURE P AS BEGIN\n  INSERT INTO A VALUES (1);\nEND^\n"
                               "SET TERM ; ^\n"
                               "INSERT INTO A VALUES (2);";
    EXPECT_EQ((statements_t{"CREATE PROCEDURE P AS BEGIN\n  INSERT INTO A VALUES (1);\nEND", "INSERT INTO A VALUES (2)"}),
              CFbSqlScript::split(script, "v.sql"));
}

TEST(FbSqlScript, CommitStatementsAreLeftToTheCaller)
{
    EXPECT_EQ((statements_t{"DROP TABLE A", "DROP TABLE B"}),
              CFbSqlScript::split("DROP TABLE A; commit; COMMIT  WORK;\nDROP TABLE B;", "v.sql"));
}

TEST(FbSqlScript, UnclosedQuotesAndCommentsNameTheFileAndLine)
{
    for (const std::string& script : {std::string("SELECT 1;\n\nINSERT INTO A VALUES ('open);"),
                                      std::string("SELECT 1;\n\nSELECT \"open FROM A;"),
                                      std::string("SELECT 1;\n\n/* open; SELECT 2;")}) {
        const std::string failure = test_support::thrown([&] {
                                        CFbSqlScript::split(script, "db_versions/2/a.sql");
                                    }).printableError();
        EXPECT_NE(std::string::npos, failure.find("'db_versions/2/a.sql'")) << script;
        EXPECT_NE(std::string::npos, failure.find("starts at line 3 is not closed")) << failure;
    }
}

} // namespace
