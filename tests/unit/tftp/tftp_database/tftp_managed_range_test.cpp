#include "tftp/tftp_database/tftp_managed_range.h"

#include <gtest/gtest.h>

#include <string>

#include "extended/exception.h"

namespace {

// The why of the refusal of text, or "" when it is accepted.
std::string refusal(const std::string& text)
{
    try {
        CTFTPManagedRange range(text);
    } catch (const osk::CException& e) {
        EXPECT_EQ("The managed range '" + text + "' is malformed.", e.whatMsg().formatted());
        return e.whyMsg().formatted();
    }
    return std::string();
}

TEST(TFTPManagedRangeTest, AddressRangesIncludeBothEnds)
{
    const CTFTPManagedRange range("10.1.0.10-10.1.0.99, 10.2.0.1");
    EXPECT_FALSE(range.contains("10.1.0.9"));
    EXPECT_TRUE(range.contains("10.1.0.10"));
    EXPECT_TRUE(range.contains("10.1.0.50"));
    EXPECT_TRUE(range.contains("10.1.0.99"));
    EXPECT_FALSE(range.contains("10.1.0.100"));
    // Ordered as numbers, not as text (as text it would lie inside).
    EXPECT_FALSE(range.contains("10.1.0.2"));
    EXPECT_TRUE(range.contains("10.2.0.1"));
    EXPECT_FALSE(range.contains("10.2.0.2"));
}

TEST(TFTPManagedRangeTest, FamiliesAndNumbersMatchOnlyTheirOwnKind)
{
    const CTFTPManagedRange range("2001:db8::1-2001:db8::ff, 100-199");
    EXPECT_TRUE(range.contains("2001:db8::80"));
    EXPECT_FALSE(range.contains("2001:db8::100"));
    EXPECT_TRUE(range.contains("150"));
    EXPECT_FALSE(range.contains("200"));
    // 0.0.0.150 is an address, not the number 150; ::ffff:... is IPv6.
    EXPECT_FALSE(range.contains("0.0.0.150"));
    EXPECT_FALSE(CTFTPManagedRange("10.0.0.1-10.0.0.9").contains("::ffff:10.0.0.5"));
}

TEST(TFTPManagedRangeTest, TextsThatAreNoValueLieInNoRange)
{
    const CTFTPManagedRange range("0-18446744073709551615, 0.0.0.0-255.255.255.255");
    EXPECT_TRUE(range.contains("18446744073709551615"));
    for (const char* text : {"", "O'Brien", "1; DROP TABLE osk_keyvalues", "-5", "18446744073709551616", "10.0.0"})
        EXPECT_FALSE(range.contains(text)) << text;
    EXPECT_FALSE(CTFTPManagedRange("").contains("1"));
}

TEST(TFTPManagedRangeTest, MalformedItemsAreRefusedByName)
{
    EXPECT_EQ("", refusal("1-2, 10.0.0.1"));
    EXPECT_EQ("'10.0.0.1-20' is neither an address, a number nor a range 'first-last' of either.",
              refusal("10.0.0.1-20"));
    EXPECT_EQ("'10.0.0.1-2001:db8::1' is neither an address, a number nor a range 'first-last' of either.",
              refusal("10.0.0.1-2001:db8::1"));
    EXPECT_EQ("'cmts' is neither an address, a number nor a range 'first-last' of either.", refusal("1, cmts"));
    EXPECT_EQ("'1-2-3' is neither an address, a number nor a range 'first-last' of either.", refusal("1-2-3"));
    EXPECT_EQ("The range '9-1' ends before it starts.", refusal("9-1"));
    EXPECT_EQ("The range '10.0.0.9-10.0.0.1' ends before it starts.", refusal("10.0.0.9-10.0.0.1"));
}

} // namespace
