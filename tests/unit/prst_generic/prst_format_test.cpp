#include "prst_generic/prst_format.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

const char* const kAvailable =
    "access_id, access_rights, any, bool, boot_proto, date, domain_group_id, domain_id, double, expression, "
    "float, hex_store, integer, ip, long, numeric, object, short, string, time, time_stamp, unsigned_long, "
    "unsigned_short";

class PrstFormatTest : public ::testing::Test {
protected:
    std::string format(const std::string& value, const std::string& type) { return _format.execute(value, type); }
    ::testing::AssertionResult refused(const std::string& value, const std::string& type, const std::string& what,
                                       const std::string& why, const std::string& module = "prst_generic")
    {
        return raises([&] { _format.execute(value, type); }, what, why, module);
    }

    CPrstFormat _format;
};

TEST_F(PrstFormatTest, EveryTypeFormatsItsValues)
{
    struct Row {
        const char* value;
        const char* type;
        const char* expected;
    };
    const Row rows[] = {
        // Single quotes are doubled in every result.
        {"O'Brien", "string", "O''Brien"},
        {"''", "any", "''''"},
        {"it's,a,list", "boot_proto", "it''s,a,list"},
        {"AA'BB", "hex_store", "AA''BB"},
        // Numbers are checked item by item and passed on unchanged.
        {"1,2,3", "long", "1,2,3"},
        {"-9223372036854775808", "long", "-9223372036854775808"},
        {" 7,+8", "integer", " 7,+8"},
        {"-32768,32767", "short", "-32768,32767"},
        {"65535", "unsigned_short", "65535"},
        {"18446744073709551615", "unsigned_long", "18446744073709551615"},
        {"1.5e3,-2", "double", "1.5e3,-2"},
        {"0.25", "float", "0.25"},
        {"3.14", "numeric", "3.14"},
        {"0,17", "domain_id", "0,17"},
        {"4", "domain_group_id", "4"},
        {"-1", "access_id", "-1"},
        // Whole-value types are never cut into a list; were rights cut at
        // ",", each word would give its own mask.
        {"a,b", "string", "a,b"},
        {"x,,y", "object", "x,,y"},
        {"[1,2]", "expression", "[1,2]"},
        {"", "any", ""},
        {"read,write", "access_rights", "3"},
        // Access rights become their decimal bit mask.
        {"all", "access_rights", "15"},
        {"r,x", "access_rights", "5"},
        {"none", "access_rights", "0"},
        {"CREATE", "access_rights", "8"},
        // Booleans become one or zero.
        {"true", "bool", "1"},
        {"false", "bool", "0"},
        {"true,false,true", "bool", "1,0,1"},
        // Dates become signed seconds since the epoch.
        {"Thu Jan  1 00:00:00 1970", "date", "0"},
        {"Wed Dec 31 23:59:59 1969", "time", "-1"},
        {"Sun Sep  9 01:46:40 2001,Fri Jan  2 00:00:00 1970", "time_stamp", "1000000000,86400"},
        // Addresses take their fixed-width form.
        {"10.1.2.3", "ip", "010.001.002.003"},
        {"127.0.0.1,255.255.255.255", "ip", "127.000.000.001,255.255.255.255"},
        {"2001:db8::1", "ip", "2001:0db8:0000:0000:0000:0000:0000:0001"},
        // Byte strings are checked and passed on; text types keep their text.
        {"0A-FF-10", "hex_store", "0A-FF-10"},
        {"pxe", "boot_proto", "pxe"},
        {"a b\tc", "string", "a b\tc"},
        {"$SRC.IP()", "expression", "$SRC.IP()"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, format(row.value, row.type)) << row.type << " " << row.value;
}

TEST_F(PrstFormatTest, ValuesThatDoNotFitTheirTypeRaiseTheConversionsOwnError)
{
    EXPECT_TRUE(refused("abc", "long", "Cannot deserialize number 'abc' from text.", "Value 'abc' is not a valid number.",
                        "standard"));
    // The failing item is named, not the whole list.
    EXPECT_TRUE(refused("1,x,3", "long", "Cannot deserialize number 'x' from text.",
                        "Value 'x' is not a valid number.", "standard"));
    EXPECT_TRUE(refused("1,,3", "long", "Cannot deserialize number '' from text.",
                        "Value '' is not a valid number.", "standard"));
    EXPECT_TRUE(refused("32768", "short", "Cannot deserialize number '32768' from text.",
                        "Value '32768' overflows 16 bits.", "standard"));
    EXPECT_TRUE(refused("-1", "unsigned_short", "Cannot deserialize number '-1' from text.",
                        "Invalid format '-1' appears signed.", "standard"));
    EXPECT_TRUE(refused("1e999", "double", "Cannot deserialize number '1e999' from text.",
                        "Value '1e999' overflows 64 bits.", "standard"));
    EXPECT_TRUE(refused("1e39", "float", "Cannot deserialize number '1e39' from text.",
                        "Value '1e39' overflows 32 bits.", "standard"));
    EXPECT_TRUE(refused("2.5", "long", "Cannot deserialize number '2.5' from text.",
                        "Value '2.5' is not a valid number.", "standard"));
    // A boolean other than true or false does not translate.
    EXPECT_TRUE(refused("yes", "bool", "Unable to translate value 'yes' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(refused("true,1", "bool", "Unable to translate value '1' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(refused("", "bool", "Unable to translate value '' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(refused("yesterday", "date", "Cannot convert text 'yesterday' to a time value.",
                        "Text is not a date of the form 'Thu Jan  1 00:00:00 1970'.", "standard"));
    EXPECT_TRUE(refused("10.1.2", "ip", "Cannot create an ip address.", "Text '10.1.2' is not a valid IP address.",
                        "standard"));
    EXPECT_TRUE(refused("0A-ZZ", "hex_store", "Cannot convert character to nybble.",
                        "Invalid hexadecimal character 'Z'.", "standard"));
}

TEST_F(PrstFormatTest, TypesWithoutAFormatterAreRefusedWithTheAvailableTypes)
{
    const std::string why = std::string("Illegal type. Available types are: '") + kAvailable + "'.";
    EXPECT_TRUE(refused("x", "text_blob", "Unable to format value 'x' of type 'text_blob'.", why));
    EXPECT_TRUE(refused("1", "LONG", "Unable to format value '1' of type 'LONG'.", why));
    EXPECT_TRUE(refused("1", "", "Unable to format value '1' of type ''.", why));
    EXPECT_TRUE(refused("1", "[__DB_TYPE_LONG__]", "Unable to format value '1' of type '[__DB_TYPE_LONG__]'.", why));
    EXPECT_TRUE(refused("1", "uint64", "Unable to format value '1' of type 'uint64'.", why));
}

TEST_F(PrstFormatTest, ValidateTypeAcceptsExactlyTheFormattedTypes)
{
    EXPECT_EQ(kAvailable, _format.availableTypes());
    for (const char* type : {"long", "integer", "string", "any", "ip", "bool", "access_rights", "time_stamp"})
        EXPECT_NO_THROW(_format.validateType(type)) << type;
    const std::string why = std::string("Available types are '") + kAvailable + "'.";
    EXPECT_TRUE(raises([&] { _format.validateType("text_blob"); }, "Illegal type 'text_blob'.", why, "prst_generic"));
    EXPECT_TRUE(raises([&] { _format.validateType("varchar"); }, "Illegal type 'varchar'.", why, "prst_generic"));
}

TEST_F(PrstFormatTest, NumbersAreWrittenBareAndTextsQuoted)
{
    for (const char* type : {"long", "short", "double", "numeric", "domain_id", "bool", "date", "access_rights"})
        EXPECT_FALSE(_format.isQuoted(type)) << type;
    for (const char* type : {"string", "any", "object", "expression", "boot_proto", "ip", "hex_store"})
        EXPECT_TRUE(_format.isQuoted(type)) << type;
}

TEST_F(PrstFormatTest, ItemsAreFormattedOneByOne)
{
    EXPECT_EQ((std::vector<std::string>{"010.000.000.001", "010.000.000.002"}),
              _format.executeItems("10.0.0.1,10.0.0.2", "ip"));
    EXPECT_EQ((std::vector<std::string>{"a,b"}), _format.executeItems("a,b", "string"));
}

} // namespace
