#include "oodb/db_statement_file_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "unit/oodb/oodb_expect.h"
#include "unit/oodb/temp_dir.h"

namespace {

const char* const kHeader = "spec_name=statements\n\n";

const char* const kHosts =
    "name=select_host\n"
    "group=hosts\n"
    "arg_names=ADDR, MASK\n"
    "arg_types=ip,unsigned_long\n"
    "statement=SELECT * FROM osk_hosts WHERE ADDR = ? AND MASK = ?\n"
    "precompile=true\n"
    "function_name=host\n"
    "cursor_num=1001\n"
    "generic_args=a=b\n"
    "description=One host\n";

class StatementFileTest : public TempDirTest {
protected:
    // Reads the header followed by body.
    void readBody(const std::string& body)
    {
        writeFile("s.spec", kHeader + body);
        reader.read(dir, "s.spec");
    }
    // Reading the header followed by body raises the invalid record error of
    // line with why.
    ::testing::AssertionResult refuses(const std::string& body, size_t line, const std::string& why)
    {
        return raisesPersistence([&] { readBody(body); },
                                 "Invalid record at line " + std::to_string(line) + " in sql statement spec file.",
                                 why);
    }
    CDBStatementFileReader reader;
};

TEST_F(StatementFileTest, ReadsEveryKeyAndDefaults)
{
    readBody(std::string(kHosts) + "\n# a comment\nname=count\ngroup=hosts\narg_names=\narg_types=\n"
                                   "statement=SELECT COUNT(*) FROM osk_hosts\n");
    const CDBStatementSpec& host = reader.find("select_host");
    EXPECT_EQ("hosts", host.group);
    EXPECT_EQ((std::vector<std::string>{"ADDR", "MASK"}), host.argNames);
    EXPECT_EQ((std::vector<CDBFieldType::type_t>{CDBFieldType::DB_TYPE_IP_ADDRESS, CDBFieldType::DB_TYPE_ULONG}),
              host.argTypes);
    EXPECT_EQ("SELECT * FROM osk_hosts WHERE ADDR = ? AND MASK = ?", host.statement);
    EXPECT_TRUE(host.precompile);
    EXPECT_EQ("host", host.functionName);
    EXPECT_EQ(1001u, host.cursorNum);
    EXPECT_EQ("a=b", host.genericArgs);
    EXPECT_EQ("One host", host.description);
    EXPECT_EQ(3u, host.line);

    const CDBStatementSpec& count = reader.find("count");
    EXPECT_TRUE(count.argNames.empty());
    EXPECT_TRUE(count.argTypes.empty());
    EXPECT_FALSE(count.precompile);
    EXPECT_EQ(0u, count.cursorNum);
    EXPECT_EQ(15u, count.line);
    EXPECT_EQ((std::vector<std::string>{"count", "select_host"}), reader.statementsOfGroup("hosts"));
    EXPECT_TRUE(reader.statementsOfGroup("other").empty());
}

TEST_F(StatementFileTest, UnknownStatementIsNotFound)
{
    readBody(kHosts);
    EXPECT_TRUE(reader.exists("select_host"));
    EXPECT_FALSE(reader.exists("SELECT_HOST"));
    EXPECT_TRUE(raisesPersistence([&] { reader.find("SELECT_HOST"); }, "Cannot locate sql spec file 'SELECT_HOST'.",
                                  "No such file."));
}

TEST_F(StatementFileTest, EachMissingRequiredKeyIsNamed)
{
    for (const char* key : {"name", "group", "arg_names", "arg_types", "statement"}) {
        SCOPED_TRACE(key);
        std::string body;
        for (const std::string& line : {std::string("name=n"), std::string("group=g"), std::string("arg_names=a"),
                                        std::string("arg_types=long"), std::string("statement=S")}) {
            if (line.compare(0, std::string(key).size() + 1, std::string(key) + "=") != 0) body += line + "\n";
        }
        CDBStatementFileReader fresh;
        writeFile("s.spec", kHeader + std::string("\n\n") + body);
        EXPECT_TRUE(raisesPersistence([&] { fresh.read(dir, "s.spec"); },
                                      "Invalid record at line 5 in sql statement spec file.",
                                      std::string("Missing key '") + key + "'."));
    }
}

TEST_F(StatementFileTest, MalformedRecordsNameTheirLine)
{
    const std::string good = "name=n\ngroup=g\narg_names=a\narg_types=long\nstatement=S\n";
    EXPECT_TRUE(refuses(good + "\n" + good + "Cursor_num=1\n", 9, "Unrecognized key 'Cursor_num'."));
    EXPECT_TRUE(refuses("name=n\ngroup=g\narg_names=a\narg_types=int64\nstatement=S\n", 3,
                        "Cannot deserialize field type 'int64'."));
    EXPECT_TRUE(refuses("name=n\ngroup=g\narg_names=a,b\narg_types=long\nstatement=S\n", 3,
                        "Argument names and types differ in number."));
    EXPECT_TRUE(refuses(good + "cursor_num=x1\n", 3, "Value 'x1' is not a valid number."));
    EXPECT_TRUE(refuses(good + "cursor_num=-1\n", 3, "Invalid format '-1' appears signed."));
    EXPECT_TRUE(refuses(good + "cursor_num=4294967296\n", 3, "Value '4294967296' overflows 32 bits."));
}

TEST_F(StatementFileTest, LinesWithoutEqualsAreInvalidFormat)
{
    writeFile("s.spec", std::string(kHeader) + "name=n\njust text\n");
    EXPECT_TRUE(raises([&] { reader.read(dir, "s.spec"); },
                       "Error processing spec file " + dir + "/s.spec at line 3.", "Invalid record format.",
                       "extended"));
}

TEST_F(StatementFileTest, DuplicateCursorNumberNamesTheSecondRecord)
{
    const std::string first = "name=a\ngroup=g\narg_names=\narg_types=\nstatement=S\ncursor_num=7\n";
    const std::string second = "name=b\ngroup=g\narg_names=\narg_types=\nstatement=S\ncursor_num=7\n";
    EXPECT_TRUE(raisesPersistence([&] { readBody(first + "\n" + second); },
                                  "Duplicate sql cursor number at line 10 in sql statement spec file.",
                                  "Cursor numbers overlap."));
}

TEST_F(StatementFileTest, CursorZeroIsSharedAndReplacingARecordFreesItsCursor)
{
    const std::string a0 = "name=a\ngroup=g\narg_names=\narg_types=\nstatement=S1\n";
    const std::string b0 = "name=b\ngroup=g\narg_names=\narg_types=\nstatement=S2\ncursor_num=0\n";
    const std::string a7 = "name=a\ngroup=g\narg_names=\narg_types=\nstatement=S3\ncursor_num=7\n";
    const std::string a8 = "name=a\ngroup=g\narg_names=\narg_types=\nstatement=S4\ncursor_num=8\n";
    // The same name again on its own cursor.
    const std::string a8again = "name=a\ngroup=h\narg_names=\narg_types=\nstatement=S5\ncursor_num=8\n";
    const std::string c7 = "name=c\ngroup=g\narg_names=\narg_types=\nstatement=S6\ncursor_num=7\n";
    readBody(a0 + "\n" + b0 + "\n" + a7 + "\n" + a8 + "\n" + a8again + "\n" + c7);
    EXPECT_EQ(3u, reader.statements().size());
    EXPECT_EQ("S5", reader.find("a").statement);
    EXPECT_EQ("h", reader.find("a").group);
    EXPECT_EQ(7u, reader.find("c").cursorNum);
}

TEST_F(StatementFileTest, LongLinesAreReadWhole)
{
    const std::string longSql = "SELECT * FROM t WHERE " + std::string(1 << 20, 'x');
    readBody("name=long\ngroup=g\narg_names=\narg_types=\nstatement=" + longSql + "\n");
    EXPECT_EQ(longSql, reader.find("long").statement);

    CDBStatementFileReader other;
    writeFile("k.spec", std::string(kHeader) + std::string(1 << 20, 'k') + "=1\n");
    // The message keeps a bounded part of the key.
    EXPECT_TRUE(raisesPersistence([&] { other.read(dir, "k.spec"); },
                                  "Invalid record at line 3 in sql statement spec file.",
                                  "Unrecognized key '" + std::string(512, 'k') + "'."));
}

TEST_F(StatementFileTest, BinaryGarbageIsRefusedWithoutHarm)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(4096, '\0');
        for (char& c : garbage) c = static_cast<char>(random() & 0xff);
        CDBStatementFileReader fresh;
        // Once with a valid header and once as the whole file.
        for (const std::string& text : {kHeader + garbage, garbage}) {
            writeFile("g.spec", text);
            try {
                fresh.read(dir, "g.spec");
            } catch (const osk::CException&) {
            }
        }
        // Whatever was accepted is a complete statement.
        for (const auto& entry : fresh.statements()) {
            EXPECT_EQ(entry.second.argNames.size(), entry.second.argTypes.size());
        }
    }
    // A record of valid keys among bytes that are not text is still checked.
    writeFile("g.spec", std::string(kHeader) + "name=\x01\xff\ngroup=\x80\narg_names=\narg_types=\xfe\nstatement=S\n");
    EXPECT_TRUE(raisesPersistence([&] { reader.read(dir, "g.spec"); },
                                  "Invalid record at line 3 in sql statement spec file.",
                                  "Cannot deserialize field type '\xfe'."));
}

} // namespace
