#include "tftp/tftp_database/tftp_format_type.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "extended/exception.h"

namespace {

void expectRefused(const std::function<void()>& call, const std::string& shown)
{
    try {
        call();
        ADD_FAILURE() << "accepted " << shown;
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot set format type.", e.whatMsg().formatted());
        EXPECT_EQ("Invalid or unknown value '" + shown + "'.", e.whyMsg().formatted());
        EXPECT_EQ("tftp_database", e.module());
    }
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
        expectRefused([&] { format.string(text); }, text);
    for (int32_t number : {0, 3, -1}) expectRefused([&] { format.value(number); }, std::to_string(number));
    EXPECT_EQ(CTFTPFormatType::unpacked, format.value());
}

} // namespace
