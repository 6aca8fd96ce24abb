// The pool of free prepared statements of an attachment, with real
// statements on the embedded engine: what it keeps, what falls out and in
// which order.
#include "firebird_provider/fb_statement_pool.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using fbprov::CFbStatement;
using fbprov::CFbStatementPool;
using fbprov::CFbTransaction;

class FbStatementPoolTest : public fbtest::FbDatabaseTest {
protected:
    std::unique_ptr<CFbStatement> prepared(const std::string& sql)
    {
        CFbTransaction transaction(db(), CFbTransaction::readOnly);
        auto statement = std::make_unique<CFbStatement>(transaction, sql);
        transaction.commit();
        return statement;
    }
    static std::string text(size_t n) { return "SELECT " + std::to_string(n) + " FROM RDB$DATABASE"; }

    CFbStatementPool pool;
};

TEST_F(FbStatementPoolTest, GivesBackTheStatementOfTheTextAskedFor)
{
    EXPECT_EQ(nullptr, pool.take(text(1)));
    auto one = prepared(text(1));
    CFbStatement* const given = one.get();
    pool.give(text(1), std::move(one));
    pool.give(text(2), prepared(text(2)));
    EXPECT_EQ(nullptr, pool.take(text(3)));
    auto taken = pool.take(text(1));
    EXPECT_EQ(given, taken.get());
    EXPECT_EQ(nullptr, pool.take(text(1))) << "a taken statement is no longer free";
    EXPECT_EQ(1u, pool.free());
}

TEST_F(FbStatementPoolTest, KeepsAFewOfOneTextAndTheLastGivenOfAll)
{
    for (size_t i = 0; i < CFbStatementPool::maxFreePerText + 2; ++i) pool.give(text(0), prepared(text(0)));
    EXPECT_EQ(CFbStatementPool::maxFreePerText, pool.free());

    // Texts given once each: the oldest fall out, the text given back
    // recently stays.
    pool.clear();
    for (size_t n = 1; n <= CFbStatementPool::maxFree + 6; ++n) pool.give(text(n), prepared(text(n)));
    EXPECT_EQ(CFbStatementPool::maxFree, pool.free());
    for (size_t n = 1; n <= 6; ++n) EXPECT_EQ(nullptr, pool.take(text(n))) << n;
    EXPECT_NE(nullptr, pool.take(text(7)));
    EXPECT_NE(nullptr, pool.take(text(CFbStatementPool::maxFree + 6)));

    pool.clear();
    EXPECT_EQ(0u, pool.free());
}

TEST_F(FbStatementPoolTest, TheStatementThatFallsOutIsTheOldestOfItsText)
{
    auto first = prepared(text(0));
    auto second = prepared(text(0));
    CFbStatement* const kept = second.get();
    pool.give(text(0), std::move(first));
    pool.give(text(0), std::move(second));
    // Other texts push the first statement of text 0 out, not the second.
    for (size_t n = 1; n < CFbStatementPool::maxFree; ++n) pool.give(text(n), prepared(text(n)));
    EXPECT_EQ(CFbStatementPool::maxFree, pool.free());
    auto taken = pool.take(text(0));
    EXPECT_EQ(kept, taken.get());
    EXPECT_EQ(nullptr, pool.take(text(0)));
    // A text taken and given back is the newest again.
    pool.give(text(0), std::move(taken));
    pool.give(text(CFbStatementPool::maxFree), prepared(text(CFbStatementPool::maxFree)));
    EXPECT_NE(nullptr, pool.take(text(0)));
    EXPECT_EQ(nullptr, pool.take(text(1))) << "the oldest of all fell out";
}

} // namespace
