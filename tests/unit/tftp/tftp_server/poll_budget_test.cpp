// The budget of the engine's polling: full after a wait that polling would
// have covered, halved by every fruitless poll, none at all below a
// sixteenth of the limit, and none while many transfers run.
#include "tftp/tftp_server/poll_budget.h"

#include <gtest/gtest.h>

namespace {

TEST(PollBudgetTest, StartsWithoutPollingUntilAWaitWithinTheLimitIsSeen)
{
    CPollBudget budget(50);
    EXPECT_EQ(0, budget.usec(1));
    budget.waited(51);
    EXPECT_EQ(0, budget.usec(1));
    budget.waited(50);
    EXPECT_EQ(50, budget.usec(1));
}

TEST(PollBudgetTest, FruitlessPollsHalveTheBudgetDownToNone)
{
    CPollBudget budget(1000);
    budget.waited(0);
    const int64_t expected[] = {500, 250, 125, 0};
    for (int64_t usec : expected) {
        budget.missed();
        EXPECT_EQ(usec, budget.usec(1));
    }
    budget.missed();
    EXPECT_EQ(0, budget.usec(1));
    // Slow answers keep it off; one quick answer restores the whole limit.
    budget.waited(5000);
    EXPECT_EQ(0, budget.usec(1));
    budget.waited(700);
    EXPECT_EQ(1000, budget.usec(1));
}

TEST(PollBudgetTest, NoLimitNeverPollsAndAClockStepBackIsNoWait)
{
    for (int64_t limit : {0, -5}) {
        CPollBudget off(limit);
        off.waited(0);
        EXPECT_EQ(0, off.usec(1)) << limit;
        EXPECT_EQ(0, off.limit()) << limit;
    }
    CPollBudget budget(50);
    budget.waited(-1);
    EXPECT_EQ(0, budget.usec(1));
}

TEST(PollBudgetTest, ManyTransfersSleepWithoutSpendingTheBudget)
{
    const size_t most = CPollBudget::kMostPolledTransfers;
    CPollBudget budget(50);
    budget.waited(10);
    EXPECT_EQ(50, budget.usec(0));
    EXPECT_EQ(50, budget.usec(most));
    EXPECT_EQ(0, budget.usec(most + 1));
    EXPECT_EQ(0, budget.usec(100000));
    // The crowd thins out: polling resumes with the budget it had.
    EXPECT_EQ(50, budget.usec(1));
}

} // namespace
