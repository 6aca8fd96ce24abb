#include "tftp/tftp_database/tftp_format_type.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "unit/security/expect_failure.h"

namespace {

::testing::AssertionResult refused(const std::function<void()>& call, const std::string& shown)
{
    return raises(call, "Cannot set format type.", "Invalid or unknown value '" + shown + "'.", "tftp_database");
}

TEST(TFTPFormatTypeTest, NewValueIsPackedAndTextIgnoresCase)
{
    CTFTPFormatType format;
    EXPECT_EQ(CTFTPFormatType::packed, format.value());
    EXPECT_EQ("packed", format.string());
    format.string("UNPACKED");
    EXPECT_EQ(CTFTPFormatType::unpacked, format.value());
    EXPECT_EQ("unpacked", format.string());
    format.string("Packed");
    EXPECT_EQ(CTFTPFormatType::packed, format.value());
    format.value(2);
    EXPECT_EQ("unpacked", format.string());
}

TEST(TFTPFormatTypeTest, OtherTextsAndNumbersAreRefusedAndChangeNothing)
{
    CTFTPFormatType format(CTFTPFormatType::unpacked);
    for (const char* text : {"", "pack", "packed ", "unpacked2", "1"})
        EXPECT_TRUE(refused([&] { format.string(text); }, text));
    for (int32_t number : {0, 3, -1}) EXPECT_TRUE(refused([&] { format.value(number); }, std::to_string(number)));
    EXPECT_EQ(CTFTPFormatType::unpacked, format.value());
}

} // namespace
