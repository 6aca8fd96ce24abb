#include "oodb/query_factory.h"

#include <gtest/gtest.h>

#include "unit/oodb/oodb_expect.h"

namespace {

CQueryFactory::pager_kind kindOf(const char* args)
{
    return CQueryFactory::pagerKind(osk::CStringMap(args));
}

TEST(QueryFactoryTest, PagerTypeChoosesThePager)
{
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=db"));
    EXPECT_EQ(CQueryFactory::keyRangePager, kindOf("pager_type=pk"));
    EXPECT_EQ(CQueryFactory::keyRangePager, kindOf("pager_type=pk\nsort_property=T.pk\nsort_column=pk"));
    for (const char* bad : {"pager_type=PK", "pager_type=", "", "pager_type=rows", "sort_property=T.pk"}) {
        EXPECT_TRUE(raisesOodb([&] { kindOf(bad); }, "Unable to create a pager query object.", "Wrong pager type."))
            << bad;
    }
}

TEST(QueryFactoryTest, SortingByAnotherColumnAlwaysPagesByRows)
{
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=pk\nsort_property=T.name"));
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=pk\nsort_column=name"));
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=pk\nsort_column=PK"));
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=pk\nsort_property="));
    // Even a pager type that would be refused.
    EXPECT_EQ(CQueryFactory::rowPager, kindOf("pager_type=bogus\nsort_column=name"));
}

} // namespace
