#include "standard/timeval.h"

#include <gtest/gtest.h>

namespace {

using osk::CTimeval;

TEST(TimevalTest, ArithmeticAndText)
{
    const CTimeval a = CTimeval::fromUsec(12000345);
    EXPECT_EQ(12, a.sec());
    EXPECT_EQ(345, a.usecPart());
    EXPECT_EQ("12.000345", a.string());
    EXPECT_EQ("-0.500000", (CTimeval() - CTimeval::fromUsec(500000)).string());
    EXPECT_EQ("0.000000", CTimeval().string());
    EXPECT_EQ(CTimeval::fromSec(3), CTimeval::fromUsec(1500000) + CTimeval::fromUsec(1500000));
    EXPECT_LT(CTimeval::fromUsec(1), CTimeval::fromUsec(2));
}

TEST(TimevalTest, MonotonicClockNeverGoesBack)
{
    const CTimeval first = CTimeval::now();
    const CTimeval second = CTimeval::now();
    EXPECT_FALSE(first.isZero());
    EXPECT_LE(first, second);
}

} // namespace
