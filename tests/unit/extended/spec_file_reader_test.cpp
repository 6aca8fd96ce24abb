#include "extended/spec_file_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "extended/exception.h"
#include "support/temp_dir.h"

namespace {

class ReaderFiles : public ::testing::Test {
protected:
    void writeFile(const std::string& name, const std::string& text) const
    {
        test_support::writeFile(dir + "/" + name, text);
    }
    const test_support::TempDir tmp;
    // Messages name files by their canonical path.
    const std::string dir = canonical(tmp.path());

private:
    static std::string canonical(const std::string& path)
    {
        char resolved[PATH_MAX];
        return ::realpath(path.c_str(), resolved) ? resolved : path;
    }
};

struct Record {
    std::string text;
    size_t line;
};

class CollectingReader : public osk::CFileReader {
public:
    std::vector<Record> records;
    size_t stopAfter = 0;

protected:
    void _processRecord(const std::string& record, size_t lineNumber) override
    {
        records.push_back({record, lineNumber});
        if (stopAfter && records.size() == stopAfter) abort(true);
    }
};

using FileReaderTest = ReaderFiles;

TEST_F(FileReaderTest, RecordsEndAtEmptyLinesAndSkipComments)
{
    writeFile("r.txt", "# comment\na=1\n  b=2 \t\r\n\nc=3");
    CollectingReader reader;
    ASSERT_TRUE(reader.execute(dir, "r.txt"));
    ASSERT_EQ(2u, reader.records.size());
    EXPECT_EQ("a=1\nb=2", reader.records[0].text);
    EXPECT_EQ(2u, reader.records[0].line);
    EXPECT_EQ("c=3", reader.records[1].text);
    EXPECT_EQ(5u, reader.records[1].line);
}

TEST_F(FileReaderTest, ExtraCommentCharsBlankRunsAndAbort)
{
    writeFile("r.txt", "\n \t \n; other\n  # indented\na=1\n\n\n\nb=2\n\nc=3\n");
    CollectingReader reader;
    reader.addCommentChar(';');
    ASSERT_TRUE(reader.execute(dir + "/", "r.txt"));
    ASSERT_EQ(3u, reader.records.size());
    EXPECT_EQ("a=1", reader.records[0].text);

    CollectingReader stopping;
    stopping.stopAfter = 2;
    ASSERT_TRUE(stopping.execute("", dir + "/r.txt"));
    EXPECT_EQ(2u, stopping.records.size());
    EXPECT_FALSE(stopping.execute(dir, "missing.txt"));
}

class CollectingSpecReader : public osk::CSpecFileReader {
public:
    using osk::CSpecFileReader::CSpecFileReader;
    std::vector<osk::CStringMap> records;

protected:
    void _processSpecRecord(const osk::CStringMap& record, const std::string&, size_t) override
    {
        records.push_back(record);
    }
};

using SpecFileReaderTest = ReaderFiles;

// Runs the reader and returns "what|why" of the exception it throws.
std::string failureOf(CollectingSpecReader& reader, const std::string& dir, const std::string& file)
{
    try {
        reader.read(dir, file);
    } catch (const osk::CException& e) {
        return e.whatMsg().formatted() + "|" + e.whyMsg().formatted();
    }
    return "no exception";
}

TEST_F(SpecFileReaderTest, HeaderRecordsAndIncludesInPlace)
{
    writeFile("main.spec", "spec_name=main\nversion=2\n\nname=first\n\ninclude=a.spec, b.spec\n\nname=last\n");
    writeFile("a.spec", "spec_name=a\n\nname=from_a\n");
    writeFile("b.spec", "spec_name=b\n\nname=from_b\n");
    std::vector<std::string> logged;
    CollectingSpecReader reader([&logged](const osk::CMessage& m) { logged.push_back(m.formatted()); });
    reader.read(dir, "main.spec");
    EXPECT_EQ("main", reader.header().get_string("spec_name"));
    EXPECT_EQ("2", reader.header().get_string("version"));
    ASSERT_EQ(4u, reader.records.size());
    EXPECT_EQ("first", reader.records[0].get_string("name"));
    EXPECT_EQ("from_a", reader.records[1].get_string("name"));
    EXPECT_EQ("from_b", reader.records[2].get_string("name"));
    EXPECT_EQ("last", reader.records[3].get_string("name"));
    ASSERT_EQ(2u, logged.size());
    EXPECT_EQ("Including file a.spec in spec file " + dir + "/main.spec.",
              logged[0]);
}

TEST_F(SpecFileReaderTest, RecursiveIncludeThrows)
{
    writeFile("self.spec", "spec_name=self\n\ninclude=self.spec\n");
    writeFile("x.spec", "spec_name=x\n\ninclude=y.spec\n");
    writeFile("y.spec", "spec_name=y\n\ninclude=./x.spec\n");
    CollectingSpecReader reader;
    const std::string self = failureOf(reader, dir, "self.spec");
    EXPECT_EQ(0u, self.find("Include directive for file self.spec in spec file ")) << self;
    EXPECT_NE(std::string::npos, self.find("self.spec is recursive.|")) << self;
    const std::string cycle = failureOf(reader, dir, "x.spec");
    EXPECT_EQ(0u, cycle.find("Include directive for file ./x.spec in spec file ")) << cycle;
}

TEST_F(SpecFileReaderTest, MissingHeaderUnopenableAndMalformedRecords)
{
    writeFile("nohead.spec", "name=first\n");
    writeFile("empty.spec", "# nothing\n");
    writeFile("bad.spec", "spec_name=b\n\nname=ok\nno equals here\n");
    writeFile("inc.spec", "spec_name=i\n\ninclude=gone.spec\n");
    CollectingSpecReader reader;
    EXPECT_EQ("Missing header key 'spec_name'.|File " + dir + "/nohead.spec is not a valid spec file.",
              failureOf(reader, dir, "nohead.spec"));
    EXPECT_EQ("Missing header key 'spec_name'.|File " + dir + "/empty.spec is not a valid spec file.",
              failureOf(reader, dir, "empty.spec"));
    EXPECT_EQ("Error processing spec file " + dir + "/bad.spec at line 3.|Invalid record format.",
              failureOf(reader, dir, "bad.spec"));
    EXPECT_EQ(0u, failureOf(reader, dir, "gone.spec").find("Cannot open spec file '" + dir + "/gone.spec'.|"));
    EXPECT_EQ(0u, failureOf(reader, dir, "inc.spec").find("Cannot open spec file '" + dir + "/gone.spec'."));
}

} // namespace
