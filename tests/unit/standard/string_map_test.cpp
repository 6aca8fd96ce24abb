#include "standard/string_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "extended/exception.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CStringMap;

std::vector<std::pair<std::string, std::string>> entriesOf(const CStringMap& map)
{
    return {map.begin(), map.end()};
}
using Entries = std::vector<std::pair<std::string, std::string>>;

// ---- parsing -------------------------------------------------------------------

TEST(StringMapParseTest, FieldsWithoutKeyOrValue)
{
    EXPECT_EQ((Entries{{"k", ""}}), entriesOf(CStringMap("k")));
    EXPECT_EQ((Entries{{"k", ""}}), entriesOf(CStringMap("k=")));
    EXPECT_EQ((Entries{{"", "v"}}), entriesOf(CStringMap("=v")));
    EXPECT_TRUE(CStringMap("").empty());
    EXPECT_TRUE(CStringMap("\n\n   \n").empty());
}

TEST(StringMapParseTest, TrimsFieldsKeysAndValuesAndKeepsFurtherEquals)
{
    const CStringMap map(" a = 1 \n\nb=x=y");
    EXPECT_EQ((Entries{{"a", "1"}, {"b", "x=y"}}), entriesOf(map));
    EXPECT_EQ("a=1\nb=x=y\n", map.string());
    // Tabs are trimmed after spaces at each end; a space inside a tab run stays.
    const CStringMap tabs("\tk\t=\t v \t");
    EXPECT_EQ((Entries{{"k", " v "}}), entriesOf(tabs));
}

TEST(StringMapParseTest, DuplicateKeysKeepTextOrder)
{
    CStringMap map("a=1\nb=0\na=2");
    EXPECT_EQ(2u, map.count("a"));
    EXPECT_EQ("1", map.get_string("a"));
    EXPECT_EQ("a=1\na=2\nb=0\n", map.string());
    map.set_string("a", "9");
    EXPECT_EQ("a=9\na=2\nb=0\n", map.string());
    map.string_insert("a", "3");
    EXPECT_EQ("a=9\na=2\na=3\nb=0\n", map.string());
}

TEST(StringMapParseTest, EscapedSeparatorDoesNotSplit)
{
    const CStringMap map("a=1\\\nb=2", "\n", '\\');
    EXPECT_EQ((Entries{{"a", "1\\\nb=2"}}), entriesOf(map));
    // Leading and trailing escape characters are trimmed from fields.
    const CStringMap edges("\\\\x=1\\;y=2\\", ";", '\\');
    EXPECT_EQ((Entries{{"x", "1\\;y=2"}}), entriesOf(edges));
    // Without an escape character the backslash is ordinary text.
    const CStringMap plain("a=1\\\nb=2");
    EXPECT_EQ((Entries{{"a", "1\\"}, {"b", "2"}}), entriesOf(plain));
}

TEST(StringMapParseTest, OwnSeparatorAndAssignment)
{
    CStringMap map("a=1;b=2;;c", ";");
    EXPECT_EQ((Entries{{"a", "1"}, {"b", "2"}, {"c", ""}}), entriesOf(map));
    std::string fast;
    map.fastString(fast);
    EXPECT_EQ("a=1;b=2;c=;", fast);
    EXPECT_EQ("a=1\nb=2\nc=\n", map.string());
    map += "d=4";
    EXPECT_EQ(4u, map.size());
    map = "z=26";
    EXPECT_EQ((Entries{{"z", "26"}}), entriesOf(map));
    map.string("y=25");
    EXPECT_EQ(2u, map.size());
}

// ---- writing -------------------------------------------------------------------

TEST(StringMapJoinTest, SeparatorTrailingAndQuote)
{
    const CStringMap map("b=2\na=1");
    EXPECT_EQ("", CStringMap().string());
    EXPECT_EQ("'a=1', 'b=2'", map.join(", ", false, "'"));
    EXPECT_EQ("a=1, b=2, ", map.join(", ", true, ""));
    CStringMap semi("a=1;b=2", ";");
    EXPECT_EQ("a=1;b=2", semi.join("", false, ""));
}

TEST(StringMapJoinTest, RoundTripOfTextForm)
{
    CStringMap map;
    map.string_insert("path", "/srv/tftp");
    map.string_insert("expr", "a=b && c");
    map.string_insert("dup", "1");
    map.string_insert("dup", "2");
    map.string_insert("empty", "");
    const CStringMap back(map.string());
    EXPECT_EQ(map, back);
    EXPECT_EQ(map.string(), back.string());
    // A value with surrounding spaces is not preserved: nothing is quoted.
    CStringMap spaced;
    spaced.string_insert("k", " v ");
    EXPECT_EQ("v", CStringMap(spaced.string()).get_string("k"));
}

TEST(StringMapJoinTest, CaseInsensitiveOrderAndLookup)
{
    CStringMap map(true);
    map.set("b=1\nA=2\nab=3\na=4");
    EXPECT_EQ("A=2\na=4\nab=3\nb=1\n", map.string());
    EXPECT_EQ("2", map.get_string("a"));
    EXPECT_TRUE(map.defined("B"));
    EXPECT_FALSE(CStringMap("A=1").defined("a"));
    // Case-sensitive order is bytewise: upper case before lower case.
    EXPECT_EQ("B=1\na=2\n", CStringMap("a=2\nB=1").string());
}

// ---- formattedString ---------------------------------------------------------

TEST(StringMapFormatTest, EscapesAndReplacement)
{
    const CStringMap map("name=zelvo\nport=69\nself=<%self%>\nalias=%port%\nzz=%port%");
    EXPECT_EQ("zelvo:69\n\r\\q", map.formattedString("%name%:%port%\\n\\r\\\\\\q"));
    EXPECT_EQ("A-\xff-%", map.formattedString("\\x41-\\xfF-%"));
    // Replaced text is not searched again for the same key, but keys later
    // in key order do see it.
    EXPECT_EQ("<%self%>", map.formattedString("%self%"));
    EXPECT_EQ("69", map.formattedString("%alias%"));
    EXPECT_EQ("%port%", map.formattedString("%zz%"));
    EXPECT_EQ("69 69 %unknown%", map.formattedString("%port% %port% %unknown%"));
}

TEST(StringMapFormatTest, PatternsAreFoundWhereverAFillingMakesThem)
{
    // A key with a '%' of its own spans more than two neighbouring signs.
    EXPECT_EQ("Q-b%", CStringMap("a%b=Q\nb=B").formattedString("%a%b%-b%"));
    // A value's last sign and the template's text after it make the next
    // key's pattern.
    EXPECT_EQ("[X]", CStringMap("a=%b\nbx=X").formattedString("[%a%x%]"));
    // Overlapping patterns of the empty key: the first match is filled, the
    // sign it shares with the second is gone.
    CStringMap empty;
    empty.string_insert("", "e");
    EXPECT_EQ("e%", empty.formattedString("%%%"));
}

// Each key's value doubles the pattern of the next key, so the filled text
// doubles once per key; the last key's value is eight bytes, longer than a
// pattern, so the last filling is the largest.
CStringMap doublingChain(int keys)
{
    CStringMap map;
    for (int k = 0; k < keys; ++k) {
        const std::string next = "%k" + std::to_string(100 + k + 1) + "%";
        map["k" + std::to_string(100 + k)] = next + next;
    }
    map["k" + std::to_string(100 + keys)] = "abcdefgh";
    return map;
}

TEST(StringMapFormatTest, ChainedValuesAreFilledUpToTheCeiling)
{
    // 2^13 copies of eight bytes: exactly the ceiling.
    const std::string filled = doublingChain(13).formattedString("%k100%");
    EXPECT_EQ(CStringMap::kMaxFilledSize, filled.size());
    EXPECT_EQ(std::string::npos, filled.find_first_not_of("abcdefgh"));
    EXPECT_EQ("habcdefgh", filled.substr(filled.size() - 9));

    const osk::CException e = thrown([&] { doublingChain(13).formattedString("<%k100%>"); });
    EXPECT_EQ("Cannot fill the template '<%k100%>'.", e.whatMsg().formatted());
    EXPECT_EQ("The filled text would be longer than 65536 bytes.", e.whyMsg().formatted());
    EXPECT_EQ("CStringMap::formattedString", e.context());
}

TEST(StringMapFormatTest, ValuesMultiplyingTheEmptyKeyStopAtTheCeiling)
{
    // Entries of the empty key, each holding five of its own pattern "%%":
    // every entry multiplies the text fivefold. Ten of them once ran for
    // minutes towards gigabytes.
    const auto multiplying = [](int entries) {
        CStringMap map;
        for (int k = 0; k < entries; ++k) map.string_insert("", "x%%%%%%%%%%");
        return map;
    };
    EXPECT_THROW(multiplying(10).formattedString("%%"), osk::CException);
    // Four stay below: 5^4 patterns left, and one x from every pattern
    // filled on the way (1 + 5 + 25 + 125).
    const std::string filled = multiplying(4).formattedString("%%");
    EXPECT_EQ(1250, std::count(filled.begin(), filled.end(), '%'));
    EXPECT_EQ(156, std::count(filled.begin(), filled.end(), 'x'));
    EXPECT_EQ(1406u, filled.size());
}

TEST(StringMapFormatTest, ShortHexEscapeThrows)
{
    const CStringMap map;
    for (const std::string text : {"abc\\x4", "\\x"}) {
        const osk::CException e = thrown([&] { map.formattedString(text); });
        EXPECT_EQ("Cannot process control characters in text '" + text + "'.", e.whatMsg().formatted());
        EXPECT_EQ("Insufficient digits for a hex escape sequence.", e.whyMsg().formatted());
        EXPECT_EQ("CStringMap::formattedString", e.context());
    }
    EXPECT_EQ("A", map.formattedString("\\x41"));
}

// ---- entries -----------------------------------------------------------------

TEST(StringMapEntryTest, IndexDefinedHasValue)
{
    CStringMap map("a=\nb=1");
    EXPECT_TRUE(map.defined("a"));
    EXPECT_FALSE(map.hasValue("a"));
    EXPECT_TRUE(map.hasValue("b"));
    EXPECT_FALSE(map.defined("c"));
    map["c"] += "x";
    EXPECT_EQ("x", map.get_string("c"));
    EXPECT_EQ(3u, map.size());
}

TEST(StringMapEntryTest, MergeOverwritesAppendDuplicates)
{
    const CStringMap base("a=1\nb=2");
    const CStringMap other("a=9\nc=3");
    CStringMap merged(base);
    merged.merge(other);
    EXPECT_EQ("a=9\nb=2\nc=3\n", merged.string());
    CStringMap appended(base);
    appended.append(other);
    EXPECT_EQ("a=1\na=9\nb=2\nc=3\n", appended.string());
    EXPECT_EQ(appended, base + other);
    CStringMap plusEq(base);
    plusEq += other;
    EXPECT_EQ(appended, plusEq);
}

TEST(StringMapEntryTest, CopyKeepsSeparatorAndEscape)
{
    const CStringMap original("a=1;b=2", ";", '\\');
    CStringMap copy;
    copy = original;
    EXPECT_EQ(";", copy.separator());
    EXPECT_EQ('\\', copy.escape());
    copy += "c=1\\;d=2";
    EXPECT_EQ("1\\;d=2", copy.get_string("c"));
}

// ---- typed access --------------------------------------------------------------

class DefaultingMap : public CStringMap {
public:
    std::string get_default(const std::string& key) const override { return key == "n" ? "42" : "true"; }
};

TEST(StringMapTypedTest, StringPathBool)
{
    CStringMap map("p=/srv/tftp//\nw=C:\\dir\\/\ne=\nyes=yes\none=1\nT=True\nt=TRUE\nl=true\nx=tRue");
    EXPECT_EQ("def", map.get_string("missing", "def"));
    EXPECT_EQ("", map.get_string("missing"));
    EXPECT_EQ("/srv/tftp", map.get_path("p", "/"));
    EXPECT_EQ("C:\\dir", map.get_path("w", ""));
    EXPECT_EQ("/x/", map.get_path("missing", "/x/"));
    EXPECT_EQ("/d", map.get_path("e", "/d/"));
    EXPECT_FALSE(map.get_bool("yes", true));
    EXPECT_FALSE(map.get_bool("one", true));
    EXPECT_FALSE(map.get_bool("x", true));
    EXPECT_FALSE(map.get_bool("e", true));
    EXPECT_TRUE(map.get_bool("T", false));
    EXPECT_TRUE(map.get_bool("t", false));
    EXPECT_TRUE(map.get_bool("l", false));
    EXPECT_TRUE(map.get_bool("missing", true));
    EXPECT_FALSE(map._get_bool("missing"));
}

TEST(StringMapTypedTest, GetDefaultHookFeedsGettersWithoutDefault)
{
    DefaultingMap map;
    EXPECT_EQ("42", map.get_string("n"));
    EXPECT_EQ(42, map.get_int32("n"));
    EXPECT_EQ(7, map.get_int32("n", 7));
    EXPECT_TRUE(map._get_bool("flag"));
    EXPECT_THROW(map.get_int32("flag"), osk::CException);
}

TEST(StringMapTypedTest, IntegerSettersAndGetters)
{
    CStringMap map;
    map.set_int8("i8", -128);
    map.set_int16("i16", -32768);
    map.set_int32("i32", std::numeric_limits<int32_t>::min());
    map.set_int64("i64", std::numeric_limits<int64_t>::min());
    map.set_uint8("u8", 255);
    map.set_uint16("u16", 65535);
    map.set_uint32("u32", 4294967295u);
    map.set_uint64("u64", std::numeric_limits<uint64_t>::max());
    map.set_short(std::string("s"), -5);
    map.set_long("l", -6);
    map.set_ulong("ul", 7);
    EXPECT_EQ("-128", map.get_string("i8"));
    EXPECT_EQ("-9223372036854775808", map.get_string("i64"));
    EXPECT_EQ("18446744073709551615", map.get_string("u64"));
    EXPECT_EQ(-128, map.get_int8("i8"));
    EXPECT_EQ(-32768, map.get_int16("i16"));
    EXPECT_EQ(std::numeric_limits<int32_t>::min(), map.get_int32("i32"));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), map.get_int64("i64"));
    EXPECT_EQ(255, map.get_uint8("u8"));
    EXPECT_EQ(65535, map.get_uint16("u16"));
    EXPECT_EQ(4294967295u, map.get_uint32("u32"));
    EXPECT_EQ(std::numeric_limits<uint64_t>::max(), map.get_uint64("u64"));
    EXPECT_EQ(-5, map.get_short("s"));
    EXPECT_EQ(-6, map.get_long(std::string("l")));
    EXPECT_EQ(7ul, map.get_ulong("ul"));
    // Out of range for the reader's type.
    EXPECT_THROW(map.get_int8("i16"), osk::CException);
    EXPECT_THROW(map.get_uint32("i8"), osk::CException);
}

TEST(StringMapTypedTest, IntegerDefaultsAndFailures)
{
    CStringMap map("e=\nbad=12abc\nn=5");
    EXPECT_EQ(3, map.get_int32("missing", 3));
    EXPECT_EQ(3, map.get_int32("e", 3));
    EXPECT_EQ(5u, map.get_uint16("n", 3));
    EXPECT_THROW(map.get_int32("bad", 3), osk::CException);
    EXPECT_THROW(map.get_int32("e"), osk::CException);
    EXPECT_THROW(map.get_uint64("missing"), osk::CException);
}

TEST(StringMapTypedTest, UnsignedGettersRefuseAnySign)
{
    const CStringMap map("plus=+5\nzero=-0\nblank= 7\nmax=255\nover=256");
    for (const char* key : {"plus", "zero"}) {
        try {
            map.get_uint16(key, uint16_t(3));
            ADD_FAILURE() << key << " was read";
        } catch (const osk::CException& e) {
            EXPECT_EQ(std::string("Invalid format '") + map.get_string(key) + "' appears signed.",
                      e.whyMsg().formatted());
        }
        EXPECT_THROW(map.get_uint8(key), osk::CException) << key;
        EXPECT_THROW(map.get_uint32(key), osk::CException) << key;
        EXPECT_THROW(map.get_uint64(key), osk::CException) << key;
        EXPECT_THROW(map.get_ulong(key, 1ul), osk::CException) << key;
    }
    EXPECT_EQ(5, map.get_int32("plus"));
    EXPECT_EQ(0, map.get_int8("zero"));
    EXPECT_EQ(7u, map.get_uint8("blank"));
    EXPECT_EQ(255u, map.get_uint8("max"));
    EXPECT_THROW(map.get_uint8("over"), osk::CException);
}

TEST(StringMapTypedTest, FloatingPoint)
{
    CStringMap map("e=\nbad=abc\nlead=2.5kg");
    map.set_double("d", 0.1);
    map.set_float("f", 1.5f);
    EXPECT_EQ("0.10000000000000001", map.get_string("d"));
    EXPECT_EQ("1.5", map.get_string("f"));
    EXPECT_DOUBLE_EQ(0.1, map.get_double("d", 9));
    EXPECT_FLOAT_EQ(1.5f, map.get_float("f", 9));
    EXPECT_DOUBLE_EQ(9, map.get_double("bad", 9));
    EXPECT_DOUBLE_EQ(9, map.get_double("e", 9));
    EXPECT_DOUBLE_EQ(2.5, map.get_double("lead", 9));
    EXPECT_FLOAT_EQ(0.0f, map.get_float("bad", 9));
    EXPECT_FLOAT_EQ(9.0f, map.get_float("missing", 9));
}

TEST(StringMapTypedTest, Durations)
{
    CStringMap map("a=250ms\nb=5\nc=2min\nd=7us\ne=3s\nf=1 s\ng=99999999999999999999999");
    EXPECT_EQ(250000ul, map.get_usec("a", 1));
    EXPECT_EQ(5000000ul, map.get_usec("b", 1));
    EXPECT_EQ(1ul, map.get_usec("c", 1));
    EXPECT_EQ(7ul, map.get_usec("d", 1));
    EXPECT_EQ(3000000ul, map.get_usec("e", 1));
    EXPECT_EQ(1ul, map.get_usec("f", 1)); // unit " s"
    EXPECT_EQ(1ul, map.get_usec("g", 1)); // too long to count
    EXPECT_EQ(1ul, map.get_usec("missing", 1));
    map.set_sec("s", 4);
    map.set_msec("m", 4);
    map.set_usec("u", 4);
    EXPECT_EQ("4s", map.get_string("s"));
    EXPECT_EQ("4ms", map.get_string("m"));
    EXPECT_EQ("4us", map.get_string("u"));
    EXPECT_EQ(4000ul, map.get_usec("m", 1));
}

TEST(StringMapTypedTest, TimeAsSeconds)
{
    CStringMap map;
    map.set_ctimet("t", osk::CTimeT(1700000000));
    EXPECT_EQ("1700000000", map.get_string("t"));
    EXPECT_EQ(1700000000, map.get_ctimet("t", osk::CTimeT(1)).seconds());
    EXPECT_EQ(1, map.get_ctimet("missing", osk::CTimeT(1)).seconds());
}

} // namespace
