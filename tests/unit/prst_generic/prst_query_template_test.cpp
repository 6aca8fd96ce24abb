#include "prst_generic/prst_query_template.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using CArguments = std::vector<CPrstQueryTemplate::CArgument>;

class PrstQueryTemplateTest : public ::testing::Test {
protected:
    std::string fill(const std::string& where, const CArguments& arguments, const osk::CStringMap& request)
    {
        return CPrstQueryTemplate(_format, where, arguments).fill(request);
    }
    static osk::CStringMap request(const std::vector<std::pair<std::string, std::string>>& entries)
    {
        osk::CStringMap map;
        for (const auto& entry : entries) map.string_insert(entry.first, entry.second);
        return map;
    }
    static osk::CStringMap args(const std::string& text) { return request({{"args", text}}); }
    ::testing::AssertionResult fillRefused(const std::string& where, const CArguments& arguments,
                                           const osk::CStringMap& values, const std::string& what,
                                           const std::string& why, const std::string& module = "prst_generic")
    {
        return raises([&] { fill(where, arguments, values); }, what, why, module);
    }

    CPrstFormat _format;
};

TEST_F(PrstQueryTemplateTest, ArgumentsFromArgsFillThePlaceholdersInOrder)
{
    const CArguments arguments{{"name", "string"}, {"count", "long"}, {"on", "bool"}};
    EXPECT_EQ("(T.NAME = 'abc' AND T.C > 5 AND T.ENABLED = 1)",
              fill("T.NAME = ? AND T.C > ? AND T.ENABLED = ?", arguments, args("abc,5,true")));
    // Blanks around the values of args are dropped.
    EXPECT_EQ("(T.NAME = 'abc' AND T.C > 5 AND T.ENABLED = 0)",
              fill("T.NAME = ? AND T.C > ? AND T.ENABLED = ?", arguments, args(" abc , 5,\tfalse ")));
}

TEST_F(PrstQueryTemplateTest, ArgumentsByNameMayHoldCommas)
{
    const CArguments arguments{{"ids", "long"}, {"who", "string"}};
    EXPECT_EQ("(T.PK IN (1,2,3) AND T.NAME = 'Smith, J.')",
              fill("T.PK IN (?) AND T.NAME = ?", arguments, request({{"who", "Smith, J."}, {"ids", "1,2,3"}})));
}

TEST_F(PrstQueryTemplateTest, ListsOfQuotedTypesQuoteEachItem)
{
    EXPECT_EQ("(T.ADDR IN ('010.000.000.001','010.000.000.002'))",
              fill("T.ADDR IN (?)", {{"a", "ip"}}, request({{"a", "10.0.0.1,10.0.0.2"}})));
    EXPECT_EQ("(T.P IN ('pxe','it''s'))", fill("T.P IN (?)", {{"p", "boot_proto"}}, request({{"p", "pxe,it's"}})));
}

TEST_F(PrstQueryTemplateTest, PlaceholdersInsideQuotedTextNamesAndCommentsStayAsTheyAre)
{
    EXPECT_EQ("(T.NAME LIKE '?%' AND \"Odd?\" = 7 /* ? */ AND T.X = 'it''s ?' OR T.Y = 8)",
              fill("T.NAME LIKE '?%' AND \"Odd?\" = ? /* ? */ AND T.X = 'it''s ?' OR T.Y = ?",
                   {{"a", "long"}, {"b", "long"}}, args("7,8")));
    // A template that ends in a line comment ends the comment, so that a
    // condition joined after it is not commented out.
    EXPECT_EQ("(T.PK = 3 -- the ? one\n)", fill("T.PK = ? -- the ? one", {{"pk", "long"}}, args("3")));
    EXPECT_EQ("(T.PK = 3 -- a\n AND T.Q = 4)",
              fill("T.PK = ? -- a\n AND T.Q = ?", {{"pk", "long"}, {"q", "long"}}, args("3,4")));
    // "/*/" opens a comment; it does not close it again.
    EXPECT_TRUE(fillRefused("T.A = ? /*/ x", {{"a", "long"}}, args("1"), "Invalid query template 'T.A = ? /*/ x'.",
                            "A comment is not closed."));
}

TEST_F(PrstQueryTemplateTest, ABlankTemplateWithoutArgumentsGivesNoCondition)
{
    EXPECT_EQ("", fill("", {}, osk::CStringMap()));
    EXPECT_EQ("", fill(" \n", {}, args("")));
}

TEST_F(PrstQueryTemplateTest, ATemplateThatDoesNotFitItsArgumentsIsRefused)
{
    const osk::CStringMap none;
    EXPECT_TRUE(fillRefused("T.A = ? AND T.B = ?", {{"a", "long"}}, none,
                            "Invalid query template 'T.A = ? AND T.B = ?'.",
                            "The template has 2 placeholders for 1 arguments."));
    EXPECT_TRUE(fillRefused("T.A = 1", {{"a", "long"}}, none, "Invalid query template 'T.A = 1'.",
                            "The template has 0 placeholders for 1 arguments."));
    EXPECT_TRUE(fillRefused("T.A = 'x", {}, none, "Invalid query template 'T.A = 'x'.",
                            "A quoted text or name is not closed."));
    EXPECT_TRUE(fillRefused("T.\"A = ?", {}, none, "Invalid query template 'T.\"A = ?'.",
                            "A quoted text or name is not closed."));
    EXPECT_TRUE(fillRefused("T.A = ? /* x", {{"a", "long"}}, none, "Invalid query template 'T.A = ? /* x'.",
                            "A comment is not closed."));
    EXPECT_TRUE(fillRefused("T.A = ?", {{"a", "text_blob"}}, none, "Illegal type 'text_blob'.",
                            "Available types are '" + _format.availableTypes() + "'."));
}

TEST_F(PrstQueryTemplateTest, MissingAndSurplusArgumentsAreRefused)
{
    const CArguments two{{"first", "long"}, {"second", "string"}};
    const std::string where = "T.A = ? AND T.B = ?";
    EXPECT_TRUE(fillRefused(where, two, args("1"), "Cannot fill query template.", "Missing argument 'second'."));
    EXPECT_TRUE(fillRefused(where, two, args(""), "Cannot fill query template.", "Missing argument 'first'."));
    EXPECT_TRUE(fillRefused(where, two, args("1,b,c"), "Cannot fill query template.",
                            "Too many arguments: 3 given, 2 expected."));
    EXPECT_TRUE(fillRefused(where, two, request({{"first", "1"}}), "Cannot fill query template.",
                            "Missing argument 'second'."));
    // Given args, the named keys are not consulted.
    EXPECT_TRUE(fillRefused(where, two, request({{"args", "1"}, {"second", "x"}}), "Cannot fill query template.",
                            "Missing argument 'second'."));
    // An empty value is a value: an empty text here.
    EXPECT_EQ("(T.A = 1 AND T.B = '')", fill(where, two, args("1,")));
}

TEST_F(PrstQueryTemplateTest, AValueThatDoesNotFitItsTypeRaisesItsFormattersError)
{
    const CArguments arguments{{"n", "long"}, {"on", "bool"}};
    EXPECT_TRUE(fillRefused("T.A = ? AND T.B = ?", arguments, args("abc,true"),
                            "Cannot deserialize number 'abc' from text.", "Value 'abc' is not a valid number.",
                            "standard"));
    EXPECT_TRUE(fillRefused("T.A = ? AND T.B = ?", arguments, args("1,yes"),
                            "Unable to translate value 'yes' to required type 'bool'.", "Illegal value."));
}

// ---- values that try to become SQL --------------------------------------------

TEST_F(PrstQueryTemplateTest, AQuoteInATextValueStaysInsideItsLiteral)
{
    EXPECT_EQ("(T.NAME = 'x'' OR ''1''=''1')", fill("T.NAME = ?", {{"n", "string"}}, args("x' OR '1'='1")));
    EXPECT_EQ("(T.NAME = 'O''Brien')", fill("T.NAME = ?", {{"n", "string"}}, args("O'Brien")));
    EXPECT_EQ("(T.NAME = ''' OR 1=1 --')", fill("T.NAME = ?", {{"n", "any"}}, request({{"n", "' OR 1=1 --"}})));
    EXPECT_EQ("(T.NAME = '1; DROP TABLE tftp_policy')",
              fill("T.NAME = ?", {{"n", "string"}}, args("1; DROP TABLE tftp_policy")));
    EXPECT_EQ("(T.NAME = '--' AND T.PK = 2)", fill("T.NAME = ? AND T.PK = ?", {{"n", "string"}, {"p", "long"}},
                                                  args("--,2")));
    EXPECT_EQ("(T.D = '*/ OR 1=1 /*')", fill("T.D = ?", {{"d", "expression"}}, request({{"d", "*/ OR 1=1 /*"}})));
}

TEST_F(PrstQueryTemplateTest, ValuesThatAreNotOfTheirTypeNeverReachTheSql)
{
    for (const char* value : {"1; DROP TABLE tftp_policy", "1 OR 1=1", "--", "1--", "0x10", "1/*", "'1'"}) {
        SCOPED_TRACE(value);
        EXPECT_TRUE(fillRefused("T.PK = ?", {{"p", "long"}}, request({{"p", value}}),
                                "Cannot deserialize number '" + std::string(value) + "' from text.",
                                "Value '" + std::string(value) + "' is not a valid number.", "standard"));
    }
    EXPECT_TRUE(fillRefused("T.ON = ?", {{"b", "bool"}}, args("true OR 1=1"),
                            "Unable to translate value 'true OR 1=1' to required type 'bool'.", "Illegal value."));
    EXPECT_TRUE(fillRefused("T.IP = ?", {{"a", "ip"}}, args("10.0.0.1' OR '1'='1"), "Cannot create an ip address.",
                            "Text '10.0.0.1' OR '1'='1' is not a valid IP address.", "standard"));
    EXPECT_TRUE(fillRefused("T.T = ?", {{"t", "date"}}, args("1 OR 1=1"),
                            "Cannot convert text '1 OR 1=1' to a time value.",
                            "Text is not a date of the form 'Thu Jan  1 00:00:00 1970'.", "standard"));
}

TEST_F(PrstQueryTemplateTest, ANegativeNumberAfterAMinusDoesNotOpenAComment)
{
    EXPECT_EQ("(T.PK - -1 > 0)", fill("T.PK -? > 0", {{"p", "long"}}, args("-1")));
    EXPECT_EQ("(T.PK - 1 > 0)", fill("T.PK - ? > 0", {{"p", "long"}}, args("1")));
}

TEST_F(PrstQueryTemplateTest, AValueWithANulCharacterIsRefused)
{
    EXPECT_TRUE(fillRefused("T.NAME = ?", {{"name", "string"}}, request({{"name", std::string("a\0b", 3)}}),
                            "Cannot fill query template.", "The value of argument 'name' contains a NUL character."));
}

TEST_F(PrstQueryTemplateTest, TheConditionIsParenthesisedSoAJoinedFilterBindsToAllOfIt)
{
    const std::string condition =
        fill("T.NAME = ? OR T.DESCRIPTION = ?", {{"a", "string"}, {"b", "string"}}, args("x,y"));
    EXPECT_EQ("(T.NAME = 'x' OR T.DESCRIPTION = 'y')", condition);
}

} // namespace
