#include "standard/number_conversion.h"

#include <gtest/gtest.h>

#include <functional>

#include "extended/exception.h"

namespace {

using osk::CNumberConversion;

// Runs reader and returns the why-text of the exception it throws.
std::string whyOf(const std::function<void()>& reader, std::string* what = nullptr)
{
    try {
        reader();
    } catch (const osk::CException& e) {
        if (what) *what = e.whatMsg().formatted();
        return e.whyMsg().formatted();
    }
    return "no exception";
}

TEST(NumberConversionTest, ClassifiesTexts)
{
    const CNumberConversion plain("42");
    EXPECT_TRUE(plain.isValid());
    EXPECT_TRUE(plain.isNumber());
    EXPECT_FALSE(plain.isSigned());
    const CNumberConversion negative(" -7 ");
    EXPECT_TRUE(negative.isValid());
    EXPECT_TRUE(negative.isSigned());
    EXPECT_TRUE(negative.isNegative());
    EXPECT_EQ(7u, negative.absValue());
    const CNumberConversion fraction("1.5e3");
    EXPECT_FALSE(fraction.isValid());
    EXPECT_TRUE(fraction.isNumber());
    EXPECT_DOUBLE_EQ(1500.0, fraction.toDouble());
    for (const char* text : {"", "-", "+", "1-2", "abc", "12 3", "1e", "."}) {
        EXPECT_FALSE(CNumberConversion(text).isValid()) << text;
        EXPECT_FALSE(CNumberConversion(text).isNumber()) << text;
    }
}

TEST(NumberConversionTest, LimitsOfEachWidth)
{
    EXPECT_EQ(-128, CNumberConversion("-128").toInt8());
    EXPECT_EQ(127, CNumberConversion("+127").toInt8());
    EXPECT_EQ(-32768, CNumberConversion("-32768").toInt16());
    EXPECT_EQ(-2147483648LL, CNumberConversion("-2147483648").toInt32());
    EXPECT_EQ(INT64_MIN, CNumberConversion("-9223372036854775808").toInt64());
    EXPECT_EQ(INT64_MAX, CNumberConversion("9223372036854775807").toInt64());
    EXPECT_EQ(255, CNumberConversion("255").toUInt8());
    EXPECT_EQ(65535, CNumberConversion("65535").toUShort());
    EXPECT_EQ(4294967295u, CNumberConversion("4294967295").toUInt());
    EXPECT_EQ(UINT64_MAX, CNumberConversion("18446744073709551615").toUInt64());
    EXPECT_EQ(-3, CNumberConversion("-3").toShort());
    EXPECT_EQ(-3, CNumberConversion("-3").toInt());
    EXPECT_EQ(255, CNumberConversion("ff", 16).toInt32());
    EXPECT_EQ(255, CNumberConversion("0xFF", 16).toUInt8());
    EXPECT_EQ(5, CNumberConversion("101", 2).toInt32());
    EXPECT_FALSE(CNumberConversion("102", 2).isValid());
}

TEST(NumberConversionTest, OverflowTextsNameTheWidth)
{
    std::string what;
    EXPECT_EQ("Value '128' overflows 8 bits.", whyOf([] { CNumberConversion("128").toInt8(); }, &what));
    EXPECT_EQ("Cannot deserialize number '128' from text.", what);
    EXPECT_EQ("Value '-129' overflows 8 bits.", whyOf([] { CNumberConversion("-129").toInt8(); }));
    EXPECT_EQ("Value '256' overflows 8 bits.", whyOf([] { CNumberConversion("256").toUInt8(); }));
    EXPECT_EQ("Value '32768' overflows 16 bits.", whyOf([] { CNumberConversion("32768").toInt16(); }));
    EXPECT_EQ("Value '65536' overflows 16 bits.", whyOf([] { CNumberConversion("65536").toUInt16(); }));
    EXPECT_EQ("Value '65536' overflows 16 bits.", whyOf([] { CNumberConversion("65536").toUShort(); }));
    EXPECT_EQ("Value '2147483648' overflows 32 bits.", whyOf([] { CNumberConversion("2147483648").toInt32(); }));
    EXPECT_EQ("Value '4294967296' overflows 32 bits.", whyOf([] { CNumberConversion("4294967296").toUInt32(); }));
    EXPECT_EQ("Value '9223372036854775808' overflows 64 bits.",
              whyOf([] { CNumberConversion("9223372036854775808").toInt64(); }));
    EXPECT_EQ("Value '18446744073709551616' overflows 64 bits.",
              whyOf([] { CNumberConversion("18446744073709551616").toUInt64(); }));
    EXPECT_EQ("Value '99999999999999999999999' overflows 64 bits.",
              whyOf([] { CNumberConversion("99999999999999999999999").absValue(); }));
    EXPECT_EQ("Value '1e39' overflows 32 bits.", whyOf([] { CNumberConversion("1e39").toFloat(); }));
    EXPECT_EQ("Value '1e400' overflows 64 bits.", whyOf([] { CNumberConversion("1e400").toDouble(); }));
}

TEST(NumberConversionTest, SignedTextForUnsignedReader)
{
    std::string what;
    EXPECT_EQ("Invalid format '-1' appears signed.", whyOf([] { CNumberConversion("-1").toUInt32(); }, &what));
    EXPECT_EQ("Cannot deserialize number '-1' from text.", what);
    // Any sign makes the text signed, a plus and a signed zero included.
    EXPECT_EQ("Invalid format '-0' appears signed.", whyOf([] { CNumberConversion("-0").toUInt8(); }));
    EXPECT_EQ("Invalid format '+0' appears signed.", whyOf([] { CNumberConversion("+0").toUInt16(); }));
    EXPECT_EQ("Invalid format '+5' appears signed.", whyOf([] { CNumberConversion("+5").toUInt64(); }));
    EXPECT_EQ("Invalid format ' +5' appears signed.", whyOf([] { CNumberConversion(" +5").toUInt32(); }));
    EXPECT_EQ("Invalid format '+5' appears signed.", whyOf([] { CNumberConversion("+5").toUShort(); }));
    EXPECT_EQ("Invalid format '+5' appears signed.", whyOf([] { CNumberConversion("+5").toUInt(); }));
    EXPECT_EQ("Invalid format '+ff' appears signed.", whyOf([] { CNumberConversion("+ff", 16).toUInt8(); }));
    // The signed readers take both signs.
    EXPECT_EQ(5, CNumberConversion("+5").toInt64());
    EXPECT_EQ(0, CNumberConversion("-0").toInt8());
    EXPECT_EQ(0, CNumberConversion("+0").toInt8());
}

TEST(NumberConversionTest, UnsignedReaderEdges)
{
    // Blanks and tabs around the digits are not part of the number.
    EXPECT_EQ(5u, CNumberConversion(" 5").toUInt32());
    EXPECT_EQ(5u, CNumberConversion("5 ").toUInt8());
    EXPECT_EQ(5u, CNumberConversion("\t5\t").toUInt64());
    EXPECT_EQ(0u, CNumberConversion("0").toUInt8());
    EXPECT_EQ("Value '5 5' is not a valid number.", whyOf([] { CNumberConversion("5 5").toUInt32(); }));
    EXPECT_EQ("Value '5\n' is not a valid number.", whyOf([] { CNumberConversion("5\n").toUInt32(); }));
    // The largest value of each width reads; one more overflows.
    EXPECT_EQ(255u, CNumberConversion(" 255 ").toUInt8());
    EXPECT_EQ("Value ' 256 ' overflows 8 bits.", whyOf([] { CNumberConversion(" 256 ").toUInt8(); }));
    EXPECT_EQ(65535u, CNumberConversion("65535").toUInt16());
    EXPECT_EQ("Value '65536' overflows 16 bits.", whyOf([] { CNumberConversion("65536").toUInt16(); }));
    EXPECT_EQ(4294967295u, CNumberConversion("4294967295").toUInt32());
    EXPECT_EQ("Value '4294967296' overflows 32 bits.", whyOf([] { CNumberConversion("4294967296").toUInt(); }));
    EXPECT_EQ(UINT64_MAX, CNumberConversion("18446744073709551615").toUInt64());
    EXPECT_EQ("Value '18446744073709551616' overflows 64 bits.",
              whyOf([] { CNumberConversion("18446744073709551616").toUInt64(); }));
}

TEST(NumberConversionTest, NotANumber)
{
    std::string what;
    EXPECT_EQ("Value '12a' is not a valid number.", whyOf([] { CNumberConversion("12a").toInt32(); }, &what));
    EXPECT_EQ("Cannot deserialize number '12a' from text.", what);
    EXPECT_EQ("Value '' is not a valid number.", whyOf([] { CNumberConversion("").toUInt8(); }));
    EXPECT_EQ("Value '1.5' is not a valid number.", whyOf([] { CNumberConversion("1.5").toInt64(); }));
    EXPECT_EQ("Value 'nan' is not a valid number.", whyOf([] { CNumberConversion("nan").toDouble(); }));
    EXPECT_EQ("Value '0x1' is not a valid number.", whyOf([] { CNumberConversion("0x1").toInt32(); }));
}

TEST(NumberConversionTest, FormatsDecimal)
{
    EXPECT_EQ("-9223372036854775808", CNumberConversion::toString(INT64_MIN));
    EXPECT_EQ("18446744073709551615", CNumberConversion::toString(UINT64_MAX));
}

} // namespace
