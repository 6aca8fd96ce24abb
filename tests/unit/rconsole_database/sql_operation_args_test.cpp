// The common arguments of the console's object commands: defaults, the
// checks that refuse a request before any database work, and the condition
// that reaches the statement with the security filter.
#include "rconsole_database/sql_operation_args.h"

#include <gtest/gtest.h>

#include <string>

#include "extended/exception.h"
#include "security/domain_id.h"

namespace {

osk::CUserAccessToken administrator()
{
    osk::CUserAccessToken token;
    token.grantAccess(osk::CDomainID::superUsersID(), "*", osk::CAccessRights(osk::CAccessRights::all));
    return token;
}

// A user who may read policies in domain 7 only.
osk::CUserAccessToken reader()
{
    osk::CUserAccessToken token;
    token.grantAccess(osk::CDomainID(7), "policy", osk::CAccessRights(osk::CAccessRights::read));
    return token;
}

osk::CStringMap request(const std::string& text)
{
    osk::CStringMap map;
    map.set(text);
    return map;
}

// The why-text of the refusal of text, or "" when it is accepted.
std::string refusal(const std::string& text, const osk::CUserAccessToken& token = administrator())
{
    try {
        CSQLOperationArgs args(request(text), token);
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot process query.", e.whatMsg().formatted());
        return e.whyMsg().formatted();
    }
    return std::string();
}

const CPrstClassSpec kPolicy("CPrstTFTPPolicy", "policy", "tftp_policy", true);

TEST(SQLOperationArgsTest, DefaultsAndAttributes)
{
    const CSQLOperationArgs args(request("name=P\ndescription=d\ncode=ack\npager=a\n"), administrator());
    EXPECT_EQ("", args.where());
    EXPECT_FALSE(args.query());
    EXPECT_EQ(50, args.count());
    EXPECT_FALSE(args.countGiven());
    EXPECT_EQ(4096, args.bulk());
    EXPECT_EQ("", args.sort());
    EXPECT_FALSE(args.descending());
    EXPECT_EQ("", args.pagerType());
    EXPECT_EQ("a", args.pager());
    // Arguments and the reply code are no attributes.
    EXPECT_EQ(2u, args.attributes().size());
    EXPECT_EQ("P", args.attributes().get_string("name"));
    EXPECT_EQ("d", args.attributes().get_string("description"));
}

TEST(SQLOperationArgsTest, GivenArgumentsAreRead)
{
    const CSQLOperationArgs args(
        request("where=T.NAME = 'x'\ncount=7\ndepth=2\nbulk=3\nsort_property=name\nsort_column=PK\n"
                "sort_order=desc\npager_type=db\n"),
        administrator());
    EXPECT_EQ("T.NAME = 'x'", args.where());
    EXPECT_EQ(7, args.count());
    EXPECT_TRUE(args.countGiven());
    EXPECT_EQ(3, args.bulk());
    // The sort property wins over the sort column.
    EXPECT_EQ("name", args.sort());
    EXPECT_TRUE(args.sortIsProperty());
    EXPECT_TRUE(args.descending());
    EXPECT_EQ("db", args.pagerType());
    EXPECT_TRUE(args.attributes().empty());
}

TEST(SQLOperationArgsTest, QueryRules)
{
    EXPECT_EQ("Cannot combine 'where' and 'query' arguments.", refusal("where=T.PK=1\nquery=x17\n"));
    // Even an empty where counts as given.
    EXPECT_EQ("Cannot combine 'where' and 'query' arguments.", refusal("where=\nquery=17\n"));
    EXPECT_EQ("No query name specified (query=X).", refusal("query=\n"));
    EXPECT_EQ("No query name specified (query=X).", refusal("query=   \n"));
    const CSQLOperationArgs args(request("query=x17\n"), administrator());
    EXPECT_EQ("x17", *args.query());
}

TEST(SQLOperationArgsTest, ArgsAreAStoredQuerysValuesOnlyBesideQuery)
{
    const CSQLOperationArgs values(request("query=by-class\nargs=docsis,1\n"), administrator());
    EXPECT_TRUE(values.attributes().empty());
    // Without a query it is the argument list of a stored query being
    // written.
    const CSQLOperationArgs attribute(request("name=by-class\nargs=aclass:string\n"), administrator());
    EXPECT_EQ("aclass:string", attribute.attributes().get_string("args"));
    EXPECT_EQ(2u, attribute.attributes().size());
}

TEST(SQLOperationArgsTest, WrongTypedArgumentsAreRefused)
{
    EXPECT_EQ("Argument 'count' must be a whole number above 0, not 'abc'.", refusal("count=abc\n"));
    EXPECT_EQ("Argument 'count' must be a whole number above 0, not '0'.", refusal("count=0\n"));
    EXPECT_EQ("Argument 'count' must be a whole number above 0, not '-5'.", refusal("count=-5\n"));
    EXPECT_EQ("Argument 'count' must be a whole number above 0, not '12x'.", refusal("count=12x\n"));
    EXPECT_EQ("Argument 'bulk' must be a whole number above 0, not '99999999999999999999'.",
              refusal("bulk=99999999999999999999\n"));
    EXPECT_EQ("Argument 'depth' must be a whole number above 0, not ''.", refusal("depth=\n"));
    EXPECT_EQ("Argument 'sort_order' must be 'asc' or 'desc', not 'up'.", refusal("sort_order=up\n"));
    EXPECT_EQ("Argument 'pager_type' must be 'db' or 'pk', not 'rows'.", refusal("pager_type=rows\n"));
    EXPECT_EQ("", refusal("sort_order=ASC\npager_type=pk\ncount= 12 \n"));
    EXPECT_EQ("The 'join' argument is not supported.", refusal("join=JOIN osk_domains D ON D.PK = T.PK\n"));
    EXPECT_EQ("", refusal("join=\n"));
}

TEST(SQLOperationArgsTest, WhereMustStayOneCondition)
{
    EXPECT_EQ("", refusal("where=(T.NAME = 'a' OR T.NAME = 'b') AND T.PK > 3\n"));
    EXPECT_EQ("The 'where' clause has unbalanced parentheses.", refusal("where=1=1) OR (1=1\n"));
    EXPECT_EQ("The 'where' clause has unbalanced parentheses.", refusal("where=(T.PK = 1\n"));
    EXPECT_EQ("The 'where' clause has unbalanced parentheses.", refusal("where=T.PK = 1)\n"));
    EXPECT_EQ("The 'where' clause has a quoted text without its closing quote.", refusal("where=T.NAME = 'a\n"));
    EXPECT_EQ("The 'where' clause may hold neither ';' nor comments.",
              refusal("where=T.PK = 1; DELETE FROM tftp_policy\n"));
    EXPECT_EQ("The 'where' clause may hold neither ';' nor comments.", refusal("where=T.PK = 1 --\n"));
    EXPECT_EQ("The 'where' clause may hold neither ';' nor comments.", refusal("where=T.PK = 1 /* x */\n"));
}

TEST(SQLOperationArgsTest, QuotedTextIsNotSyntax)
{
    // Parentheses, separators and doubled quotes inside quoted text are
    // text, not SQL.
    EXPECT_EQ("", refusal("where=T.NAME = ')(;--/*'\n"));
    EXPECT_EQ("", refusal("where=T.NAME = 'O''Brien)'\n"));
    EXPECT_EQ("", refusal("where=T.\"NAME\" = 'a'\n"));
    EXPECT_EQ("The 'where' clause has a quoted text without its closing quote.", refusal("where=T.NAME = 'it''s\n"));
    EXPECT_EQ("The 'where' clause has unbalanced parentheses.", refusal("where=T.NAME = 'a''' )\n"));
}

TEST(SQLOperationArgsTest, OversizedWhereIsRefused)
{
    const std::string longest(CSQLOperationArgs::maxWhereLength - 8, '1');
    EXPECT_EQ("", refusal("where=T.PK <> " + longest + "\n"));
    EXPECT_EQ("The 'where' clause is longer than 16384 characters.", refusal("where=T.PK <> " + longest + "00\n"));
}

TEST(SQLOperationArgsTest, SubselectsOnlyForAdministrators)
{
    const std::string text = "where=T.PK IN (SELECT PK FROM osk_accounts WHERE PASS LIKE 'a%')\n";
    EXPECT_EQ("", refusal(text));
    EXPECT_EQ("Only administrators may use sub-selects in the 'where' clause.", refusal(text, reader()));
    EXPECT_EQ("Only administrators may use sub-selects in the 'where' clause.",
              refusal("where=EXISTS(select 1 FROM tftp_policy)\n", reader()));
    // The word inside a name or quoted text is no sub-select.
    EXPECT_EQ("", refusal("where=T.SELECTED = 1 AND T.NAME = 'select'\n", reader()));
}

TEST(SQLOperationArgsTest, SecuredWhereKeepsTheConditionInsideTheFilter)
{
    const std::string secured = CSQLOperationArgs::securedWhere("T.NAME = 'a' OR 1 = 1", kPolicy, reader(),
                                                                osk::CAccessRights::read);
    // The OR cannot reach past the filter that follows the condition.
    ASSERT_EQ(0u, secured.find("(T.NAME = 'a' OR 1 = 1) AND ("));
    EXPECT_NE(std::string::npos, secured.find("XDI.domain_id IN (7)"));
    // ... and the memberships are the class's own table's.
    EXPECT_NE(std::string::npos, secured.find("XOM.SRC_TABLE IN ("));
    // Without a condition the filter alone.
    const std::string filterOnly = CSQLOperationArgs::securedWhere("", kPolicy, reader(), osk::CAccessRights::read);
    EXPECT_EQ(0u, filterOnly.find(" T.PK IN (SELECT"));
    // A right the user does not hold leaves no row.
    EXPECT_EQ(" (1 = 0)",
              CSQLOperationArgs::securedWhere("", kPolicy, reader(), osk::CAccessRights::write).substr(0, 8));
    // Administrators see every row: the condition alone.
    EXPECT_EQ("(T.PK = 1)",
              CSQLOperationArgs::securedWhere("T.PK = 1", kPolicy, administrator(), osk::CAccessRights::read));
}

} // namespace
