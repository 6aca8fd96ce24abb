// The stored policies of device accounts read from the service's database:
// accounts, domains and access controls, policies and their memberships
// written as rows of the shipped schema, read through CTFTPStoredPolicies.
#include "tftp/tftp_database/tftp_stored_policies.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "oodb/db_statement_file_reader.h"
#include "security/secured_statement_args.h"
#include "service_database_fixture.h"

namespace {

using namespace std::chrono_literals;

class StoredPoliciesTest : public ServiceDatabaseTest {
protected:
    void SetUp() override
    {
        ServiceDatabaseTest::SetUp();
        domain("Premium", 100, 1);
        domain("Everyone", 101, 20);
        domain("Lab", 102, 20);
        account("modem-1", true, {100, 101});
        account("modem-2", true, {101});
        account("modem-off", false, {100, 101});
        policy("gold", "boot=gold.cfg\nspeed=100M", true, {100});
        policy("base", "boot=base.cfg\nlevel=basic", true, {101});
        policy("retired", "boot=retired.cfg\nretired=yes", false, {100, 101});
        policy("lab-only", "boot=lab.cfg", true, {102});
    }

    // A device domain whose OID is its domain id.
    void domain(const std::string& name, int64_t id, int64_t priority)
    {
        execute("INSERT INTO osk_domains (PK, OID, PRIORITY, NAME, DOMAIN_TYPE) VALUES (?, ?, ?, ?, 0)",
                {id, id, priority, name});
    }
    // A device account with one access control per domain.
    void account(const std::string& name, bool enabled, std::initializer_list<int64_t> domains)
    {
        const int64_t oid = ++lastKey;
        execute("INSERT INTO osk_accounts (PK, OID, NAME, ENABLED) VALUES (?, ?, ?, ?)",
                {oid, oid, name, std::string(enabled ? "TRUE" : "FALSE")});
        for (const int64_t id : domains) {
            const int64_t control = ++lastKey;
            execute("INSERT INTO osk_access_control (PK, OID, DOMAIN_ID, ACCESS_ID, ACCOUNT_REF, DOMAIN_REF) "
                    "VALUES (?, ?, ?, ?, ?, ?)",
                    {control, control, id, oid, oid, id});
        }
    }
    // A policy that is a member of domains: its secured-object record, the
    // memberships record and one domain-id row and link per domain.
    int64_t policy(const std::string& name, const std::string& data, bool enabled,
                   std::initializer_list<int64_t> domains)
    {
        const int64_t oid = ++lastKey;
        const int64_t secured = ++lastKey;
        const int64_t memberships = ++lastKey;
        execute("INSERT INTO osk_domain_mships (PK, OID) VALUES (?, ?)", {memberships, memberships});
        int64_t sequence = 0;
        for (const int64_t id : domains) {
            const int64_t row = ++lastKey;
            const int64_t link = ++lastKey;
            execute("INSERT INTO osk_domain_id (PK, OID, DOMAIN_ID, SRC_PK, SRC_TABLE, DOMAIN_TYPE) "
                    "VALUES (?, ?, ?, ?, ?, 0)",
                    {row, row, id, oid, osk::CSecuredStatementArgs::sourceTableValue(id, "tftp_policy")});
            execute("INSERT INTO osk_domain_mships_links (PK, OID, SRC_ATTR_NAME, SRC_ATTR_REF, DEST_ATTR_NAME, "
                    "DEST_ATTR_REF, DEST_SEQ_KEY) VALUES (?, ?, 'domains', ?, 'domain_id', ?, ?)",
                    {link, link, memberships, row, ++sequence});
        }
        execute("INSERT INTO osk_secured_object (PK, OID, DOM_MEMBERSHIPS_REF) VALUES (?, ?, ?)",
                {secured, secured, memberships});
        execute("INSERT INTO tftp_policy (PK, OID, SECURED_REF, DATA, NAME, ENABLED) VALUES (?, ?, ?, ?, ?, ?)",
                {oid, oid, secured, data, name, std::string(enabled ? "TRUE" : "FALSE")});
        return oid;
    }

    CTFTPStoredPolicies reader(std::chrono::microseconds cacheTime, size_t entries = 100)
    {
        return CTFTPStoredPolicies(config, database.database(), database.requestConnection(), database.statements(),
                                   cacheTime, entries);
    }
    static std::vector<std::string> names(const CTFTPAccountPolicies& policies)
    {
        std::vector<std::string> out;
        for (const auto& policy : policies.policies()) out.push_back(policy.name + "@" + policy.domain);
        return out;
    }

    int64_t lastKey = 5000;
};

TEST_F(StoredPoliciesTest, TheEnabledPoliciesOfTheAccountsDomainsMergeByDomainPriority)
{
    auto policies = reader(0s);
    const auto modem1 = policies.policiesOf("modem-1");
    EXPECT_EQ(CTFTPAccountPolicies::accountEnabled, modem1->state());
    // Premium (priority 1) before Everyone (20); the disabled policy and the
    // policy of a domain the account is not in take no part.
    EXPECT_EQ((std::vector<std::string>{"gold@Premium", "base@Everyone"}), names(*modem1));
    EXPECT_EQ("gold.cfg", modem1->map().get_string("boot"));
    EXPECT_EQ("100M", modem1->map().get_string("speed"));
    EXPECT_EQ("basic", modem1->map().get_string("level"));
    EXPECT_FALSE(modem1->map().defined("retired"));
    EXPECT_EQ(1, modem1->policies()[0].priority);

    const auto modem2 = policies.policiesOf("modem-2");
    EXPECT_EQ((std::vector<std::string>{"base@Everyone"}), names(*modem2));
    EXPECT_EQ("base.cfg", modem2->map().get_string("boot"));
}

TEST_F(StoredPoliciesTest, DomainIdsBeyondThirtyTwoBitsFindTheirOwnPoliciesOnly)
{
    // A policy's domain id row names its domain by the id's low 32 bits;
    // two domains that share them must still keep their policies apart.
    const int64_t high = (int64_t{7} << 32) + 102;
    domain("Lab-annex", high, 5);
    account("modem-annex", true, {high});
    policy("annex", "boot=annex.cfg", true, {high});
    auto policies = reader(0s);
    EXPECT_EQ((std::vector<std::string>{"annex@Lab-annex"}), names(*policies.policiesOf("modem-annex")));
    account("modem-lab", true, {102});
    EXPECT_EQ((std::vector<std::string>{"lab-only@Lab"}), names(*policies.policiesOf("modem-lab")));
}

TEST_F(StoredPoliciesTest, NoNameAnUnknownOrADisabledAccountHaveAnEmptyMap)
{
    auto policies = reader(0s);
    const auto none = policies.policiesOf("");
    EXPECT_EQ(CTFTPAccountPolicies::noAccount, none->state());
    const auto unknown = policies.policiesOf("modem-9");
    EXPECT_EQ(CTFTPAccountPolicies::accountUnknown, unknown->state());
    const auto disabled = policies.policiesOf("modem-off");
    EXPECT_EQ(CTFTPAccountPolicies::accountDisabled, disabled->state());
    for (const auto& result : {none, unknown, disabled}) {
        EXPECT_TRUE(result->map().empty());
        EXPECT_TRUE(result->policies().empty());
    }
    // Names are compared, never run.
    const auto hostile = policies.policiesOf("x' OR '1'='1");
    EXPECT_EQ(CTFTPAccountPolicies::accountUnknown, hostile->state());
}

TEST_F(StoredPoliciesTest, ADisabledAccountOfTheSameNameDoesNotHideAnEnabledOne)
{
    account("twin", false, {101});
    account("twin", true, {100});
    const auto twin = reader(0s).policiesOf("twin");
    EXPECT_EQ(CTFTPAccountPolicies::accountEnabled, twin->state());
    EXPECT_EQ((std::vector<std::string>{"gold@Premium"}), names(*twin));
}

TEST_F(StoredPoliciesTest, EqualPrioritiesGoByDomainName)
{
    account("lab-modem", true, {102, 101});
    // Everyone and Lab are both priority 20: Everyone comes first.
    const auto merged = reader(0s).policiesOf("lab-modem");
    EXPECT_EQ((std::vector<std::string>{"base@Everyone", "lab-only@Lab"}), names(*merged));
    EXPECT_EQ("base.cfg", merged->map().get_string("boot"));
    execute("UPDATE osk_domains SET PRIORITY = 19 WHERE NAME = 'Lab'");
    EXPECT_EQ("lab.cfg", reader(0s).policiesOf("lab-modem")->map().get_string("boot"));
}

TEST_F(StoredPoliciesTest, AnswersAreKeptForTheCacheTimeThenReadAgain)
{
    auto kept = reader(1h);
    auto brief = reader(300ms);
    auto uncached = reader(0s);
    for (auto* policies : {&kept, &brief, &uncached})
        EXPECT_EQ("gold.cfg", policies->policiesOf("modem-1")->map().get_string("boot"));

    // The gold policy is disabled and the account too.
    execute("UPDATE tftp_policy SET ENABLED = FALSE WHERE NAME = 'gold'");
    EXPECT_EQ("base.cfg", uncached.policiesOf("modem-1")->map().get_string("boot"));
    EXPECT_EQ("gold.cfg", kept.policiesOf("modem-1")->map().get_string("boot"));
    execute("UPDATE osk_accounts SET ENABLED = FALSE WHERE NAME = 'modem-1'");
    EXPECT_EQ(CTFTPAccountPolicies::accountDisabled, uncached.policiesOf("modem-1")->state());
    EXPECT_EQ(CTFTPAccountPolicies::accountEnabled, kept.policiesOf("modem-1")->state());

    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(CTFTPAccountPolicies::accountDisabled, brief.policiesOf("modem-1")->state());
    kept.forget();
    EXPECT_EQ(CTFTPAccountPolicies::accountDisabled, kept.policiesOf("modem-1")->state());
}

TEST_F(StoredPoliciesTest, TheCacheHoldsNoMoreAccountsThanItsBound)
{
    auto policies = reader(1h, 2);
    for (const char* name : {"modem-1", "modem-2", "modem-off", "modem-9", ""}) policies.policiesOf(name);
    // The empty name is never asked nor kept.
    EXPECT_EQ(2u, policies.kept());
}

TEST_F(StoredPoliciesTest, TheDatabaseHandsItsReaderToWhoeverOpensIt)
{
    ASSERT_NE(nullptr, database.storedPolicies());
    EXPECT_EQ("gold.cfg", database.storedPolicies()->policiesOf("modem-1")->map().get_string("boot"));
    database.close();
    EXPECT_EQ(nullptr, database.storedPolicies());
}

TEST_F(StoredPoliciesTest, AStatementFileWithoutItsStatementsIsRefused)
{
    CDBStatementFileReader empty;
    try {
        CTFTPStoredPolicies policies(config, database.database(), database.requestConnection(), empty, 1s, 10);
        FAIL() << "no error";
    } catch (const osk::CException& e) {
        EXPECT_EQ("The stored policies need the statement 'stored_policy.account' in the statement file.",
                  e.whatMsg().formatted());
    }
}

} // namespace
