// The budget of the engine's polling: full after a wait that polling would
// have covered, halved by every fruitless poll, none at all below a
// sixteenth of the limit.
#include "tftp/tftp_server/poll_budget.h"

#include <gtest/gtest.h>

namespace {

TEST(PollBudgetTest, StartsWithoutPollingUntilAWaitWithinTheLimitIsSeen)
{
    CPollBudget budget(50);
    EXPECT_EQ(0, budget.usec());
    budget.waited(51);
    EXPECT_EQ(0, budget.usec());
    budget.waited(50);
    EXPECT_EQ(50, budget.usec());
}

TEST(PollBudgetTest, FruitlessPollsHalveTheBudgetDownToNone)
{
    CPollBudget budget(1000);
    budget.waited(0);
    const int64_t expected[] = {500, 250, 125, 0};
    for (int64_t usec : expected) {
        budget.missed();
        EXPECT_EQ(usec, budget.usec());
    }
    budget.missed();
    EXPECT_EQ(0, budget.usec());
    // Slow answers keep it off; one quick answer restores the whole limit.
    budget.waited(5000);
    EXPECT_EQ(0, budget.usec());
    budget.waited(700);
    EXPECT_EQ(1000, budget.usec());
}

TEST(PollBudgetTest, NoLimitNeverPollsAndAClockStepBackIsNoWait)
{
    for (int64_t limit : {0, -5}) {
        CPollBudget off(limit);
        off.waited(0);
        EXPECT_EQ(0, off.usec()) << limit;
        EXPECT_EQ(0, off.limit()) << limit;
    }
    CPollBudget budget(50);
    budget.waited(-1);
    EXPECT_EQ(0, budget.usec());
}

} // namespace
