#include "standard/bit_shift.h"

#include <gtest/gtest.h>

#include <cstring>

#include "extended/exception.h"
#include "standard/hex_store.h"
#include "support/thrown.h"

namespace {

using test_support::failureOf;
using test_support::thrown;

std::string shifted(const char* hex, int bits, bool left)
{
    osk::CHexStore store(hex);
    if (left) osk::CBitShift::left(store.rawData(), store.size(), bits);
    else osk::CBitShift::right(store.rawData(), store.size(), bits);
    return store.string();
}

TEST(BitShiftTest, ShiftsAcrossByteBoundaries)
{
    EXPECT_EQ("02-46-8A-CE", shifted("01-23-45-67", 1, true));
    EXPECT_EQ("34-56-70-00", shifted("01-23-45-67", 12, true));
    EXPECT_EQ("00-91-A2-B3", shifted("01-23-45-67", 1, false));
    EXPECT_EQ("00-00-12-34", shifted("01-23-45-67", 12, false));
    EXPECT_EQ("45-67-00-00", shifted("01-23-45-67", 16, true));
    EXPECT_EQ("01-23-45-67", shifted("01-23-45-67", 0, true));
    EXPECT_EQ("00-00-00-00", shifted("FF-FF-FF-FF", 32, true));
    EXPECT_EQ("00-00-00-00", shifted("FF-FF-FF-FF", 1000, false));
    EXPECT_EQ("80", shifted("FF", 7, true));
    EXPECT_EQ("01", shifted("FF", 7, false));
}

TEST(BitShiftTest, NegativeCountThrows)
{
    uint8_t byte = 1;
    EXPECT_EQ("Cannot left shift by -3 bits. / Negative shift is not supported.",
              failureOf([&] { osk::CBitShift::left(&byte, 1, -3); }));
    EXPECT_EQ("Cannot right shift by -1 bits.",
              thrown([&] { osk::CBitShift::right(&byte, 1, -1); }).whatMsg().formatted());
    EXPECT_EQ(1, byte);
}

} // namespace
