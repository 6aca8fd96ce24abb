// The engine's yes-or-no rules: literal spellings read once when the rule is
// set, expressions evaluated per request, and the same type error for a
// literal that is no boolean as for an expression of the wrong type.
#include "tftp/tftp_server/tftp_rule.h"

#include <gtest/gtest.h>

#include <string>

#include "support/thrown.h"

namespace {

const char* const kTypeMismatch = "Type mismatch.";
const char* const kNotBoolean = "Expression does not evaluate to a boolean result.";

class TFTPRuleTest : public ::testing::Test {
protected:
    TFTPRuleTest()
        : state(new CState(7, CState::need_ack, osk::CEndpoint(std::string("192.0.2.10:3456")), 2500000, 512))
    {
        state->reqFile = "cm/modem.cfg";
    }
    CTFTPEval evaluator;
    CStatePtr state;
};

TEST_F(TFTPRuleTest, LiteralSpellingsDecideWithoutEvaluation)
{
    CTFTPRule rule(evaluator, "false");
    EXPECT_FALSE(rule.decide(state));
    for (const char* yes : {"true", "YES", "on", "1", " True "}) {
        rule = yes;
        EXPECT_TRUE(rule.decide(state)) << yes;
    }
    for (const char* no : {"false", "No", "off", "0"}) {
        rule = no;
        EXPECT_FALSE(rule.decide(state)) << no;
    }
    EXPECT_EQ("0", rule.text());
}

TEST_F(TFTPRuleTest, ExpressionsAreEvaluatedForEachRequest)
{
    CTFTPRule rule(evaluator, "[$STARTSWITH($FILE.NAME(), \"cm\")]");
    EXPECT_TRUE(rule.decide(state));
    state->reqFile = "phone.cfg";
    EXPECT_FALSE(rule.decide(state));
    // A literal set after an expression is read as a literal again.
    rule = "yes";
    EXPECT_TRUE(rule.decide(state));
}

TEST_F(TFTPRuleTest, ANonBooleanLiteralOrResultIsATypeErrorOfEveryDecision)
{
    CTFTPRule rule(evaluator, "maybe");
    for (int request = 0; request < 2; ++request)
        test_support::expectError([&] { rule.decide(state); }, kTypeMismatch, kNotBoolean);
    rule = "[$FILE.NAME()]";
    test_support::expectError([&] { rule.decide(state); }, kTypeMismatch, kNotBoolean);
    test_support::expectError([] { CTFTPRule::booleanLiteral("maybe"); }, kTypeMismatch, kNotBoolean);
    EXPECT_TRUE(CTFTPRule::booleanLiteral("On"));
}

} // namespace
