#include "oodb/db_table_group_file_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "unit/oodb/oodb_expect.h"
#include "unit/oodb/temp_dir.h"

namespace {

class TableGroupFileTest : public TempDirTest {
protected:
    ::testing::AssertionResult refuses(const std::string& text, size_t line, const std::string& why)
    {
        writeFile("g.txt", text);
        return raisesPersistence([&] { reader.read(dir, "g.txt"); },
                                 "Invalid record at line " + std::to_string(line) + " in table group file.", why);
    }
    CDBTableGroupFileReader reader;
};

TEST_F(TableGroupFileTest, ReadsGroupsAndFindsThemByTable)
{
    writeFile("g.txt", "# groups\ngroup=hosts\ntables=osk_hosts, osk_nets ,\ndescription=Hosts\n\n"
                       "group=policies\ntables=tftp_policy,osk_hosts\n\ngroup=empty\ntables=\n");
    ASSERT_TRUE(reader.read(dir, "g.txt"));
    const CDBTableGroup& hosts = reader.find("hosts");
    EXPECT_EQ((std::vector<std::string>{"osk_hosts", "osk_nets"}), hosts.tables);
    EXPECT_EQ("Hosts", hosts.description);
    EXPECT_EQ(2u, hosts.line);
    EXPECT_EQ(6u, reader.find("policies").line);
    EXPECT_TRUE(reader.find("empty").tables.empty());
    EXPECT_EQ((std::vector<std::string>{"hosts", "policies"}), reader.groupsOfTable("osk_hosts"));
    EXPECT_TRUE(reader.groupsOfTable("OSK_HOSTS").empty());
    EXPECT_TRUE(raisesPersistence([&] { reader.find("nets"); }, "Cannot locate table group 'nets'.",
                                  "Group does not exist."));
}

TEST_F(TableGroupFileTest, ALaterGroupReplacesAndARereadForgets)
{
    writeFile("g.txt", "group=a\ntables=x\n\ngroup=a\ntables=y\n");
    ASSERT_TRUE(reader.read(dir, "g.txt"));
    EXPECT_EQ((std::vector<std::string>{"y"}), reader.find("a").tables);
    writeFile("h.txt", "group=b\ntables=z\n");
    ASSERT_TRUE(reader.read(dir, "h.txt"));
    EXPECT_FALSE(reader.exists("a"));
    EXPECT_FALSE(reader.read(dir, "missing.txt"));
    EXPECT_TRUE(reader.groups().empty());
}

TEST_F(TableGroupFileTest, MalformedRecordsNameTheirLine)
{
    EXPECT_TRUE(refuses("group=a\ntables=x\n\n\ntables=y\n", 5, "Missing key 'group'."));
    EXPECT_TRUE(refuses("# c\n\ngroup=a\ndescription=d\n", 3, "Missing key 'tables'."));
    EXPECT_TRUE(refuses("group=a\ntables=x\ntable=y\n", 1, "Unrecognized key 'table'."));
    // A line without "=" is a key of its own.
    EXPECT_TRUE(refuses("group=a\ntables=x\nstray words\n", 1, "Unrecognized key 'stray words'."));
    EXPECT_TRUE(refuses("group=a\ntables=x\nGROUP=b\n", 1, "Unrecognized key 'GROUP'."));
}

TEST_F(TableGroupFileTest, LongLinesAndBinaryGarbage)
{
    const std::string many = "t" + std::string(1 << 20, ',') + "u";
    writeFile("g.txt", "group=a\ntables=" + many + "\n");
    ASSERT_TRUE(reader.read(dir, "g.txt"));
    EXPECT_EQ((std::vector<std::string>{"t", "u"}), reader.find("a").tables);

    std::mt19937 random(77);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(4096, '\0');
        for (char& c : garbage) c = static_cast<char>(random() & 0xff);
        writeFile("g.txt", garbage);
        try {
            reader.read(dir, "g.txt");
        } catch (const osk::CException& e) {
            EXPECT_EQ("oodb_persistence", e.module());
        }
    }
}

} // namespace
