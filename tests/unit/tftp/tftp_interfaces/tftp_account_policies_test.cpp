#include "tftp/tftp_interfaces/tftp_account_policies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Policy = CTFTPAccountPolicies::CPolicy;

std::vector<std::string> names(const CTFTPAccountPolicies& policies)
{
    std::vector<std::string> out;
    for (const Policy& policy : policies.policies()) out.push_back(policy.name);
    return out;
}

TEST(AccountPoliciesMergeTest, TheDomainWithTheLowestPriorityNumberWinsAClash)
{
    // Read in any order: the low-priority domain's policy comes first here.
    const CTFTPAccountPolicies merged("modem-1", {
                                                     {"base", "Everyone", 20, "boot=base.cfg\nlevel=basic"},
                                                     {"gold", "Premium", 1, "boot=gold.cfg\nspeed=100M"},
                                                 });
    EXPECT_EQ(CTFTPAccountPolicies::accountEnabled, merged.state());
    EXPECT_EQ("modem-1", merged.account());
    EXPECT_EQ((std::vector<std::string>{"gold", "base"}), names(merged));
    EXPECT_EQ("gold.cfg", merged.map().get_string("boot"));
    // Keys only one policy has come from it, whatever its priority.
    EXPECT_EQ("basic", merged.map().get_string("level"));
    EXPECT_EQ("100M", merged.map().get_string("speed"));
    EXPECT_EQ(3u, merged.map().size());
}

TEST(AccountPoliciesMergeTest, PriorityIsANumberNotAText)
{
    const CTFTPAccountPolicies merged("m", {{"ten", "D10", 10, "k=ten"}, {"nine", "D9", 9, "k=nine"}});
    EXPECT_EQ("nine", merged.map().get_string("k"));
}

TEST(AccountPoliciesMergeTest, TiesGoByDomainNameThenPolicyName)
{
    const CTFTPAccountPolicies merged("m", {
                                               {"zeta", "Beta", 5, "k=zeta-in-beta"},
                                               {"b", "Alpha", 5, "k=b-in-alpha"},
                                               {"a", "Alpha", 5, "k=a-in-alpha\nonly=a"},
                                               {"first", "Gamma", 4, "other=first"},
                                           });
    EXPECT_EQ((std::vector<std::string>{"first", "a", "b", "zeta"}), names(merged));
    EXPECT_EQ("a-in-alpha", merged.map().get_string("k"));
    // Names compare bytewise: upper case before lower case.
    const CTFTPAccountPolicies cased("m", {{"p", "alpha", 5, "k=lower"}, {"p2", "Zulu", 5, "k=upper"}});
    EXPECT_EQ("upper", cased.map().get_string("k"));
}

TEST(AccountPoliciesMergeTest, APolicyReachedThroughSeveralDomainsCountsOnceAtItsBestPlace)
{
    const CTFTPAccountPolicies merged("m", {
                                               {"shared", "Low", 50, "k=shared"},
                                               {"own", "Mid", 10, "k=own"},
                                               {"shared", "High", 1, "k=shared"},
                                           });
    EXPECT_EQ((std::vector<std::string>{"shared", "own"}), names(merged));
    EXPECT_EQ("High", merged.policies()[0].domain);
    EXPECT_EQ("shared", merged.map().get_string("k"));
}

TEST(AccountPoliciesMergeTest, TheFirstLineOfAKeyWrittenTwiceInOnePolicyWins)
{
    const CTFTPAccountPolicies merged("m", {{"p", "D", 1, "k=first\nk=second\n\nother = spaced "}});
    EXPECT_EQ(1u, merged.map().count("k"));
    EXPECT_EQ("first", merged.map().get_string("k"));
    EXPECT_EQ("spaced", merged.map().get_string("other"));
}

TEST(AccountPoliciesMergeTest, AccountsWithoutPoliciesHaveAnEmptyMap)
{
    for (const auto state : {CTFTPAccountPolicies::accountUnknown, CTFTPAccountPolicies::accountDisabled}) {
        const CTFTPAccountPolicies none("m", state);
        EXPECT_EQ(state, none.state());
        EXPECT_TRUE(none.map().empty());
        EXPECT_TRUE(none.policies().empty());
    }
    EXPECT_EQ(CTFTPAccountPolicies::noAccount, CTFTPAccountPolicies().state());
    EXPECT_TRUE(CTFTPAccountPolicies("m", std::vector<Policy>{}).map().empty());
    EXPECT_STREQ("not found", CTFTPAccountPolicies::stateText(CTFTPAccountPolicies::accountUnknown));
    EXPECT_STREQ("disabled", CTFTPAccountPolicies::stateText(CTFTPAccountPolicies::accountDisabled));
}

} // namespace
