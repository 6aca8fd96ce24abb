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

TEST_F(PrstFormatTest, SingleQuotesAreDoubledInEveryResult)
{
    EXPECT_EQ("O''Brien", format("O'Brien", "string"));
    EXPECT_EQ("''''", format("''", "any"));
    EXPECT_EQ("it''s,a,list", format("it's,a,list", "boot_proto"));
    EXPECT_EQ("AA''BB", format("AA'BB", "hex_store"));
}

TEST_F(PrstFormatTest, NumbersAreCheckedItemByItemAndPassedOnUnchanged)
{
    EXPECT_EQ("1,2,3", format("1,2,3", "long"));
    EXPECT_EQ("-9223372036854775808", format("-9223372036854775808", "long"));
    EXPECT_EQ(" 7,+8", format(" 7,+8", "integer"));
    EXPECT_EQ("-32768,32767", format("-32768,32767", "short"));
    EXPECT_EQ("65535", format("65535", "unsigned_short"));
    EXPECT_EQ("18446744073709551615", format("18446744073709551615", "unsigned_long"));
    EXPECT_EQ("1.5e3,-2", format("1.5e3,-2", "double"));
    EXPECT_EQ("0.25", format("0.25", "float"));
    EXPECT_EQ("3.14", format("3.14", "numeric"));
    EXPECT_EQ("0,17", format("0,17", "domain_id"));
    EXPECT_EQ("4", format("4", "domain_group_id"));
    EXPECT_EQ("-1", format("-1", "access_id"));
}

TEST_F(PrstFormatTest, ANumberThatDoesNotFitRaisesTheConversionsOwnError)
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
}

TEST_F(PrstFormatTest, WholeValueTypesAreNeverCutIntoAList)
{
    EXPECT_EQ("a,b", format("a,b", "string"));
    EXPECT_EQ("x,,y", format("x,,y", "object"));
    EXPECT_EQ("[1,2]", format("[1,2]", "expression"));
    EXPECT_EQ("", format("", "any"));
    // Were rights cut at ",", each word would give its own mask.
    EXPECT_EQ("3", format("read,write", "access_rights"));
}

TEST_F(PrstFormatTest, AccessRightsBecomeTheirDecimalBitMask)
{
    EXPECT_EQ("15", format("all", "access_rights"));
    EXPECT_EQ("5", format("r,x", "access_rights"));
    EXPECT_EQ("0", format("none", "access_rights"));
    EXPECT_EQ("8", format("CREATE", "access_rights"));
}

TEST_F(PrstFormatTest, BooleansBecomeOneOrZero)
{
    EXPECT_EQ("1", format("true", "bool"));
    EXPECT_EQ("0", format("false", "bool"));
    EXPECT_EQ("1,0,1", format("true,false,true", "bool"));
}

TEST_F(PrstFormatTest, ABooleanOtherThanTrueOrFalseDoesNotTranslate)
{
    EXPECT_TRUE(refused("yes", "bool", "Unable to translate value 'yes' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(refused("true,1", "bool", "Unable to translate value '1' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(refused("", "bool", "Unable to translate value '' to required type 'bool'.", "Illegal value."));
}

TEST_F(PrstFormatTest, DatesBecomeSignedSecondsSinceTheEpoch)
{
    EXPECT_EQ("0", format("Thu Jan  1 00:00:00 1970", "date"));
    EXPECT_EQ("-1", format("Wed Dec 31 23:59:59 1969", "time"));
    EXPECT_EQ("1000000000,86400", format("Sun Sep  9 01:46:40 2001,Fri Jan  2 00:00:00 1970", "time_stamp"));
    EXPECT_TRUE(refused("yesterday", "date", "Cannot convert text 'yesterday' to a time value.",
                        "Text is not a date of the form 'Thu Jan  1 00:00:00 1970'.", "standard"));
}

TEST_F(PrstFormatTest, AddressesTakeTheirFixedWidthForm)
{
    EXPECT_EQ("010.001.002.003", format("10.1.2.3", "ip"));
    EXPECT_EQ("127.000.000.001,255.255.255.255", format("127.0.0.1,255.255.255.255", "ip"));
    EXPECT_EQ("2001:0db8:0000:0000:0000:0000:0000:0001", format("2001:db8::1", "ip"));
    EXPECT_TRUE(refused("10.1.2", "ip", "Cannot create an ip address.", "Text '10.1.2' is not a valid IP address.",
                        "standard"));
}

TEST_F(PrstFormatTest, ByteStringsAreCheckedAndPassedOn)
{
    EXPECT_EQ("0A-FF-10", format("0A-FF-10", "hex_store"));
    EXPECT_TRUE(refused("0A-ZZ", "hex_store", "Cannot convert character to nybble.",
                        "Invalid hexadecimal character 'Z'.", "standard"));
}

TEST_F(PrstFormatTest, TextTypesKeepTheirText)
{
    EXPECT_EQ("pxe", format("pxe", "boot_proto"));
    EXPECT_EQ("a b\tc", format("a b\tc", "string"));
    EXPECT_EQ("$SRC.IP()", format("$SRC.IP()", "expression"));
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
