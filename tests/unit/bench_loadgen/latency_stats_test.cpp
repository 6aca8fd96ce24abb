#include "latency_stats.h"

#include <gtest/gtest.h>

using loadgen::CLatencyStats;

TEST(CLatencyStats, NearestRankPercentiles)
{
    CLatencyStats stats;
    EXPECT_EQ(stats.percentile(50), 0);
    for (int i = 100; i >= 1; --i) stats.add(i);  // added out of order
    EXPECT_EQ(stats.percentile(50), 50);
    EXPECT_EQ(stats.percentile(99), 99);
    EXPECT_EQ(stats.percentile(99.5), 100);
    EXPECT_EQ(stats.max(), 100);
    EXPECT_DOUBLE_EQ(stats.mean(), 50.5);
    stats.add(1000);  // a later sample re-sorts
    EXPECT_EQ(stats.max(), 1000);
}

TEST(CLatencyStats, OneSampleIsEveryPercentile)
{
    CLatencyStats stats;
    stats.add(7);
    EXPECT_EQ(stats.percentile(1), 7);
    EXPECT_EQ(stats.percentile(99), 7);
}
