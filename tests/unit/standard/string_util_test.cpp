#include "standard/string_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

using osk::CStringUtil;
using items = std::vector<std::string>;

TEST(StringUtilTest, TrimsOnlyTheCharactersOfItsSet)
{
    const std::string text = "\r\n\t a b \t\r\n";
    EXPECT_EQ("\r\n\t a b \t\r\n", CStringUtil::trim(text, CStringUtil::spaces));
    EXPECT_EQ("\r\n\t a b \t\r\n", CStringUtil::trim(text, CStringUtil::blanks));
    EXPECT_EQ("a b", CStringUtil::trim(text, CStringUtil::whitespace));
    EXPECT_EQ("\ta b\t", CStringUtil::trim(" \ta b\t ", CStringUtil::spaces));
    EXPECT_EQ("a b", CStringUtil::trim(" \ta b\t "));
    EXPECT_EQ("a\r", CStringUtil::trim("\ta\r "));
    // An empty set trims nothing.
    EXPECT_EQ(" a ", CStringUtil::trim(" a ", ""));
}

TEST(StringUtilTest, TrimsOneEndOrBoth)
{
    EXPECT_EQ("a \t", CStringUtil::trimLeft(" \ta \t"));
    EXPECT_EQ(" \ta", CStringUtil::trimRight(" \ta \t"));
    EXPECT_EQ("info", CStringUtil::trimRight("info\r\r", "\r"));
    EXPECT_EQ("x]", CStringUtil::trimLeft("[ [x]", "[ "));
}

TEST(StringUtilTest, TextOfBlanksOnlyTrimsToEmpty)
{
    for (const char* text : {"", " ", " \t ", "\t"}) {
        EXPECT_EQ("", CStringUtil::trim(text)) << '"' << text << '"';
        EXPECT_EQ("", CStringUtil::trimLeft(text)) << '"' << text << '"';
        EXPECT_EQ("", CStringUtil::trimRight(text)) << '"' << text << '"';
    }
}

TEST(StringUtilTest, SplitsAtItsSeparatorsAndTrimsTheItems)
{
    const auto drop = CStringUtil::dropEmpty;
    const auto keep = CStringUtil::keepEmpty;
    const struct {
        std::string text;
        const char* separators;
        const char* trimmed;
        CStringUtil::empty_items empty;
        items expected;
    } rows[] = {
        {"error, warning ,\tinfo", ",", CStringUtil::blanks, drop, {"error", "warning", "info"}},
        {"one", ",", CStringUtil::blanks, drop, {"one"}},
        // Blanks inside an item stay.
        {" a b ,c", ",", CStringUtil::blanks, drop, {"a b", "c"}},
        // Empty items are dropped unless asked for.
        {"", ",", CStringUtil::blanks, drop, {}},
        {" , ,\t", ",", CStringUtil::blanks, drop, {}},
        {",a,,b,", ",", CStringUtil::blanks, drop, {"a", "b"}},
        {"a,", ",", CStringUtil::blanks, drop, {"a"}},
        {"", ",", CStringUtil::blanks, keep, {""}},
        {"a,", ",", CStringUtil::blanks, keep, {"a", ""}},
        {",a, ,b,", ",", CStringUtil::blanks, keep, {"", "a", "", "b", ""}},
        // Only the given set is trimmed.
        {" \tA ,B", ",", CStringUtil::spaces, keep, {"\tA", "B"}},
        {" a , b", ",", "", keep, {" a ", " b"}},
        // Any of several separators splits.
        {"a, [::1]:69;\tb:70 ", ",; \t", CStringUtil::blanks, drop, {"a", "[::1]:69", "b:70"}},
        {"a/b:c", "/:", CStringUtil::blanks, drop, {"a", "b", "c"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, CStringUtil::split(row.text, row.separators, row.trimmed, row.empty))
            << '"' << row.text << '"';
    // The defaults: commas, blanks trimmed, empty items dropped.
    EXPECT_EQ((items{"a", "b c"}), CStringUtil::split(" a,,\tb c ,"));
}

TEST(StringUtilTest, JoinPutsTheSeparatorOnlyBetweenItems)
{
    EXPECT_EQ("", CStringUtil::join({}));
    EXPECT_EQ("", CStringUtil::join({""}));
    EXPECT_EQ("a", CStringUtil::join({"a"}));
    EXPECT_EQ("a,b c", CStringUtil::join({"a", "b c"}));
    EXPECT_EQ("1, 2, 3", CStringUtil::join({"1", "2", "3"}, ", "));
    // Empty items keep their places, so that split with keepEmpty gives them back.
    const items kept{"", "a", "", ""};
    EXPECT_EQ(",a,,", CStringUtil::join(kept));
    EXPECT_EQ(kept, CStringUtil::split(CStringUtil::join(kept), ",", CStringUtil::blanks, CStringUtil::keepEmpty));
}

} // namespace

namespace {

namespace fs = std::filesystem;

// The places outside src/standard that trim or split by hand, as
// "file:line: text"; the patterns are definitions of functions named after
// trimming, find_first_not_of/find_last_not_of over blanks, and searches or
// getline calls that cut at commas.
std::vector<std::string> handWrittenTrimsAndSplits(const fs::path& root)
{
    static const std::regex patterns[] = {
        std::regex(R"(^\s*((static|inline|virtual|const)\s+)*(std::string|std::string_view|void|auto)\s*[&*]?\s+)"
                   R"([\w:]*[Tt]rim\w*\s*\()"),
        std::regex(R"(find_(first|last)_not_of\(\s*(' '|'\\t'|"[ \\trn]+"))"),
        std::regex(R"(\.find\(\s*',')"),
        std::regex(R"(getline\([^;]*,\s*','\s*\))"),
    };
    std::vector<std::string> found;
    for (const char* top : {"src", "plugins", "apps"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const fs::path& path = entry.path();
            if (!entry.is_regular_file() || (path.extension() != ".cpp" && path.extension() != ".h")) continue;
            const std::string relative = fs::relative(path, root).string();
            if (relative.rfind("src/standard/", 0) == 0) continue;
            std::ifstream in(path);
            std::string line;
            for (size_t number = 1; std::getline(in, line); ++number) {
                // Only lines with one of these can match; the rest skip the regexes.
                if (line.find("rim") == std::string::npos && line.find("_not_of") == std::string::npos &&
                    line.find("','") == std::string::npos)
                    continue;
                for (const auto& pattern : patterns) {
                    if (std::regex_search(line, pattern)) {
                        found.push_back(relative + ":" + std::to_string(number) + ": " + line);
                        break;
                    }
                }
            }
        }
    }
    return found;
}

// The source tree: the one that holds this file by its absolute name, else
// the nearest ancestor of the test program that holds src/standard (builds
// live inside the tree, and compilers may give this file a relative name).
fs::path sourceRoot()
{
    const fs::path self(__FILE__);
    if (self.is_absolute()) return self.parent_path().parent_path().parent_path().parent_path();
    for (fs::path dir = fs::read_symlink("/proc/self/exe").parent_path(); dir != dir.parent_path();
         dir = dir.parent_path()) {
        if (fs::exists(dir / "src" / "standard" / "string_util.h")) return dir;
    }
    return fs::path();
}

// Trimming and list splitting have one home, osk::CStringUtil; a twin that
// appears anywhere else fails here with its place.
TEST(StringUtilHomeTest, NoHandWrittenTrimOrCommaSplitOutsideStandard)
{
    const fs::path root = sourceRoot();
    ASSERT_TRUE(fs::exists(root / "src" / "standard" / "string_util.h")) << "source tree not found: " << root;
    const std::vector<std::string> found = handWrittenTrimsAndSplits(root);
    std::string list;
    for (const std::string& place : found) list += place + "\n";
    EXPECT_TRUE(found.empty()) << "Use osk::CStringUtil instead of:\n" << list;
}

} // namespace

TEST(StringUtilTest, BooleanWordsInAnyCaseAndNothingElse)
{
    bool value = false;
    for (const char* truth : {"true", "YES", " On ", "1"}) {
        value = false;
        EXPECT_TRUE(CStringUtil::toBoolean(truth, value)) << truth;
        EXPECT_TRUE(value) << truth;
    }
    for (const char* falsehood : {"False", "no", "OFF", "0\t"}) {
        value = true;
        EXPECT_TRUE(CStringUtil::toBoolean(falsehood, value)) << falsehood;
        EXPECT_FALSE(value) << falsehood;
    }
    for (const char* other : {"", "2", "truth", "y", "n o"}) {
        value = true;
        EXPECT_FALSE(CStringUtil::toBoolean(other, value)) << other;
        EXPECT_TRUE(value) << "left untouched by " << other;
    }
}
