// Syntax trees as the console's memory tracking sees them.
#include <gtest/gtest.h>

#include "exp_eval/arithmetic_expr_node.h"
#include "exp_eval/exp_eval.h"
#include "exp_eval/syntax_tree_proxy.h"
#include "exp_eval/term_node.h"
#include "extended/exception.h"
#include "support/tracked_counts.h"

namespace {

using namespace test_support;

TEST(TrackedTreeTest, AParsedTreeIsListedNodeByNodeUntilItsLastOwnerGoes)
{
    const CTrackingOn tracking;
    osk::CExpEval evaluator;
    {
        // Unsigned literals: three terminals under two arithmetic nodes.
        osk::CExpEval::tree_ptr tree = evaluator.parse("1+2*3");
        EXPECT_EQ(1u, allocatedEntries<osk::CSyntaxTreeProxy>());
        EXPECT_EQ(2u, allocatedEntries<CArithmeticExprNode>());
        EXPECT_EQ(3u, allocatedEntries<CUIntegerTermNode>());
        EXPECT_EQ(3u, liveTracked<CUIntegerTermNode>());
        const osk::CExpEval::tree_ptr shared = tree;
        tree.reset();
        EXPECT_EQ(1u, liveTracked<osk::CSyntaxTreeProxy>());
    }
    EXPECT_EQ(0u, liveTracked<osk::CSyntaxTreeProxy>());
    EXPECT_EQ(0u, liveTracked<CArithmeticExprNode>());
    EXPECT_EQ(0u, liveTracked<CUIntegerTermNode>());
    EXPECT_TRUE(CMemTrack::allocated().empty());
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

// Nodes already built when the parser meets the error are released with it.
TEST(TrackedTreeTest, AFailedParseLeavesNothingBehind)
{
    const CTrackingOn tracking;
    osk::CExpEval evaluator;
    const uint64_t before = totalTracked<CUIntegerTermNode>();
    EXPECT_THROW(evaluator.parse("1+2*"), osk::CException);
    EXPECT_LT(before, totalTracked<CUIntegerTermNode>());
    EXPECT_TRUE(CMemTrack::allocated().empty());
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

} // namespace
