// Page arithmetic of the row pager and the key-range pager.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "oodb/column_query.h"
#include "oodb/row_query.h"

namespace {

TEST(RowQueryTest, PagesAreAtLeastAThousandRowsAndStopAtTheLimit)
{
    CRowQuery small(50, 2500);
    EXPECT_EQ(1000u, small.pageSize());
    small.computeRange();
    EXPECT_EQ(1u, small.lowRow());
    EXPECT_EQ(1000u, small.highRow());
    small.addRecordsSearched(1000);
    ASSERT_TRUE(small.nextPage());
    small.computeRange();
    EXPECT_EQ(1001u, small.lowRow());
    EXPECT_EQ(2000u, small.highRow());
    small.addRecordsSearched(1000);
    ASSERT_TRUE(small.nextPage());
    small.computeRange();
    EXPECT_EQ(2500u, small.highRow());
    small.addRecordsSearched(500);
    EXPECT_FALSE(small.nextPage());
    EXPECT_EQ(2500u, small.lowRow());
    small.addRecordsSearched(10);
    EXPECT_FALSE(small.nextPage());
    EXPECT_EQ(2500u, small.lowRow());

    CRowQuery large(5000, 1000000);
    EXPECT_EQ(5000u, large.pageSize());
    large.computeRange();
    EXPECT_EQ(5000u, large.highRow());
}

TEST(RowQueryTest, RowNumbersNearTheTopDoNotWrap)
{
    const uint64_t top = std::numeric_limits<uint64_t>::max();
    CRowQuery query(1000, top, top - 10);
    query.computeRange();
    EXPECT_EQ(top, query.highRow());
    query.addRecordsSearched(top);
    EXPECT_EQ(top, query.lowRow());
    EXPECT_FALSE(query.nextPage());
}

TEST(ColumnQueryTest, AscendingWindowsMoveByPageAndByWindow)
{
    CColumnQuery query(true, 0, 0, 100000, 50);
    EXPECT_EQ(" (T.pk >= 0) AND (T.pk < 40000)", query.condition());
    // A page that ended at key 10 moves by the maximum objects.
    query.pageDone(10);
    EXPECT_EQ(50, query.start());
    // A page that ended further on moves past its last key.
    query.pageDone(900);
    EXPECT_EQ(901, query.start());
    ASSERT_TRUE(query.nextPage());
    EXPECT_EQ(40901, query.start());
    ASSERT_TRUE(query.nextPage());
    EXPECT_FALSE(query.nextPage());
    EXPECT_EQ(120901, query.start());
}

TEST(ColumnQueryTest, DescendingWindowsAndCriteria)
{
    CColumnQuery query(false, 100000, 0, 100000, 50, "T.name LIKE 'a%'");
    EXPECT_EQ("(T.name LIKE 'a%') AND  (T.pk <= 100000) AND (T.pk > 60000)", query.condition());
    query.pageDone(99990);
    EXPECT_EQ(99950, query.start());
    query.pageDone(80000);
    EXPECT_EQ(79999, query.start());
    ASSERT_TRUE(query.nextPage());
    EXPECT_EQ(39999, query.start());
    // The window below 39999 reaches the lower bound: the walk is over.
    EXPECT_FALSE(query.nextPage());
    EXPECT_EQ(-1, query.start());
}

TEST(ColumnQueryTest, WindowDoublesUpToItsMaximumAndSearchCountsObjects)
{
    CColumnQuery query(true, 0, 0, 1000, 3);
    for (int64_t expected : {80000, 160000, 320000, 640000, 640000}) {
        query.increasePageSize();
        EXPECT_EQ(expected, query.window());
    }
    EXPECT_TRUE(query.continueSearch());
    query.addObjectsFound(2);
    EXPECT_TRUE(query.continueSearch());
    query.addObjectsFound(1);
    EXPECT_FALSE(query.continueSearch());
    EXPECT_EQ(0u, query.objectsWanted());
    // A new page counts from zero again.
    query.startPage();
    EXPECT_TRUE(query.continueSearch());
    EXPECT_EQ(3u, query.objectsWanted());
    query.addObjectsFound(2);
    EXPECT_EQ(1u, query.objectsWanted());
}

TEST(ColumnQueryTest, KeysAtTheEndsOfTheRangeSaturate)
{
    const int64_t top = std::numeric_limits<int64_t>::max();
    CColumnQuery up(true, top - 5, 0, top, 50);
    EXPECT_EQ(" (T.pk >= 9223372036854775802) AND (T.pk < 9223372036854775807)", up.condition());
    up.pageDone(top);
    EXPECT_EQ(top, up.start());
    EXPECT_TRUE(up.nextPage());
    EXPECT_EQ(top, up.start());

    const int64_t bottom = std::numeric_limits<int64_t>::min();
    CColumnQuery down(false, bottom + 5, bottom, 0, std::numeric_limits<uint64_t>::max());
    down.pageDone(bottom);
    EXPECT_EQ(bottom, down.start());
    EXPECT_TRUE(down.nextPage());
}

} // namespace
