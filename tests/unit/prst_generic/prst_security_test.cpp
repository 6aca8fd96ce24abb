// The access token of a context against objects in the database: the
// filtered select shows a user only the objects of their domains, commits
// without write are refused with nothing written, the read check of the
// security strategy, and the administrators' domain that sees everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "prst_database_fixture.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/prst_secured_select.h"
#include "prst_generic/security_strategy.h"

namespace {

using prsttest::PrstDatabaseTest;

const char* const kClass = "kv-security";

class PrstSecurityTest : public PrstDatabaseTest {
protected:
    void SetUp() override
    {
        five = domain("Security Five");
        six = domain("Security Six");
        inFive = insert("key=five\nvalue=5\ndomains=Security Five\n");
        inSix = insert("key=six\nvalue=6\ndomains=Security Six\n");
        adminOnly = insert("key=admin\nvalue=0\n");
    }
    void TearDown() override
    {
        committed(admin, [&] {
            for (auto& record : CPrstKeyValue::selectByClass(admin, kClass, "s")) record->deletePersistent();
        });
    }

    int64_t insert(const std::string& text)
    {
        return insertText<CPrstKeyValue>(admin, std::string("class=") + kClass + "\nsubclass=s\n" + text);
    }
    // A token of domain five with rights on key values.
    osk::CUserAccessToken fiveToken(osk::CAccessRights::right_t rights)
    {
        osk::CUserAccessToken token;
        token.grantAccess(osk::CDomainID(five), "keyvalue", osk::CAccessRights(rights));
        return token;
    }
    // The keys a context's filtered select finds among the test's records.
    std::set<std::string> visibleKeys(CPrstContext& context)
    {
        CPrstTransaction transaction(context, CDBConstants::READ_ONLY_ACCESS);
        std::set<std::string> keys;
        for (const auto& record : CPrstSecuredSelect::select<CPrstKeyValue>(
                 context, "T.KCLASS = ?", {std::string(kClass)}, CPrstKeyValue::spec().attrToColumn("key")))
            keys.insert(record->key());
        return keys;
    }
    std::string storedValue(int64_t oid)
    {
        CPrstTransaction transaction(admin);
        return CPrstKeyValue::load(admin, oid)->value();
    }

    int64_t five = -1, six = -1, inFive = -1, inSix = -1, adminOnly = -1;
};

TEST_F(PrstSecurityTest, AUserSeesOnlyTheObjectsOfTheirDomains)
{
    auto user = contextFor(fiveToken(osk::CAccessRights::read));
    EXPECT_EQ((std::set<std::string>{"five"}), visibleKeys(*user));
    EXPECT_EQ((std::set<std::string>{"admin", "five", "six"}), visibleKeys(admin));
}

TEST_F(PrstSecurityTest, AUserWithoutReadOnTheClassSeesNothing)
{
    osk::CUserAccessToken token;
    token.grantAccess(osk::CDomainID(five), "domain", osk::CAccessRights(osk::CAccessRights::read));
    auto user = contextFor(token);
    EXPECT_TRUE(visibleKeys(*user).empty());
}

TEST_F(PrstSecurityTest, ReadOnlyUsersCannotCommitAndNothingIsWritten)
{
    auto user = contextFor(fiveToken(osk::CAccessRights::read));
    {
        CPrstTransaction transaction(*user);
        auto record = CPrstKeyValue::load(*user, inFive);
        record->value("changed");
        EXPECT_TRUE(raises([&] { record->commit(); },
                           "Cannot commit record " + std::to_string(inFive) + " of class keyvalue.", "Access denied.",
                           "prst_generic"));
        transaction.commit();
    }
    EXPECT_EQ("5", storedValue(inFive));
    {
        CPrstTransaction transaction(*user);
        EXPECT_THROW(CPrstKeyValue::load(*user, inFive)->deletePersistent(), osk::CException);
        transaction.commit();
    }
    EXPECT_EQ("5", storedValue(inFive));
}

TEST_F(PrstSecurityTest, WriteOnTheClassInTheObjectsDomainAllowsTheCommit)
{
    auto user = contextFor(fiveToken(osk::CAccessRights::read | osk::CAccessRights::write));
    committed(*user, [&] {
        auto record = CPrstKeyValue::load(*user, inFive);
        record->value("changed");
        record->commit();
    });
    EXPECT_EQ("changed", storedValue(inFive));
    // The same right in domain five does not reach an object of domain six.
    CPrstTransaction transaction(*user);
    auto other = CPrstKeyValue::load(*user, inSix);
    other->value("changed");
    EXPECT_THROW(other->commit(), osk::CException);
}

TEST_F(PrstSecurityTest, NewObjectsNeedTheCreateRight)
{
    {
        auto user = contextFor(fiveToken(osk::CAccessRights::read | osk::CAccessRights::write));
        CPrstTransaction transaction(*user);
        auto record = CPrstKeyValue::createTransient(*user);
        record->place(kClass, "s", "refused");
        EXPECT_THROW(record->commit(), osk::CException);
    }
    auto creator = contextFor(fiveToken(osk::CAccessRights::read | osk::CAccessRights::create));
    committed(*creator, [&] {
        auto record = CPrstKeyValue::createTransient(*creator);
        record->string(std::string("class=") + kClass + "\nsubclass=s\nkey=created\ndomains=Security Five\n");
        record->commit();
    });
    EXPECT_EQ((std::set<std::string>{"five", "created"}), visibleKeys(*creator));
}

TEST_F(PrstSecurityTest, TheStrategyRefusesToReadWhatTheSessionMayNotRead)
{
    const osk::CUserAccessToken token = fiveToken(osk::CAccessRights::read);
    CPrstTransaction transaction(admin);
    CSecurityStrategy<CPrstKeyValue> readable(CPrstKeyValue::load(admin, inFive), token);
    EXPECT_EQ("five", readable->key());
    EXPECT_TRUE(readable.accessResult().has(osk::CAccessRights::read));

    CSecurityStrategy<CPrstKeyValue> hidden(CPrstKeyValue::load(admin, inSix), token);
    EXPECT_EQ("Unable to read object " + std::to_string(inSix) + " of type keyvalue. / Access denied.",
              failure([&] { (void)hidden->key(); }));
    // A new object is its creator's to read.
    CSecurityStrategy<CPrstKeyValue> fresh(CPrstKeyValue::createTransient(admin), token);
    EXPECT_NO_THROW((void)fresh->key());
    EXPECT_FALSE(fresh.accessResult().has(osk::CAccessRights::write));
}

TEST_F(PrstSecurityTest, AnObjectDoesNotPassOnTheMembershipOfAnotherTablesObjectWithItsKey)
{
    // A domain of five and a key value outside five with the same key:
    // both tables' sequences are moved to one value.
    int64_t next = std::max(scalar("SELECT GEN_ID(osk_keyvalues, 0) FROM RDB$DATABASE"),
                            scalar("SELECT GEN_ID(osk_domains, 0) FROM RDB$DATABASE")) +
                   100;
    committed(admin, [&] {
        admin.transaction().execute("ALTER SEQUENCE osk_keyvalues RESTART WITH " + std::to_string(next));
        admin.transaction().execute("ALTER SEQUENCE osk_domains RESTART WITH " + std::to_string(next));
    });
    int64_t domainKey = -1;
    committed(admin, [&] {
        auto twin = CPrstDomain::createTransient(admin);
        twin->string("name=Security Twin\ndomains=Security Five\n");
        twin->commit();
        domainKey = twin->oid();
    });
    const int64_t recordKey = insert("key=twin\nvalue=hidden\ndomains=Security Six\n");
    ASSERT_EQ(domainKey, recordKey);

    auto user = contextFor(fiveToken(osk::CAccessRights::read));
    EXPECT_EQ((std::set<std::string>{"five"}), visibleKeys(*user));
    committed(admin, [&] { CPrstDomain::load(admin, domainKey)->deletePersistent(); });
}

TEST_F(PrstSecurityTest, TheFilteredSelectKeepsTheCallersConditionAndOrder)
{
    auto user = contextFor(fiveToken(osk::CAccessRights::read));
    const std::string sql = CPrstSecuredSelect::sql(*user, CPrstKeyValue::spec(), osk::CAccessRights::read,
                                                    "T.KKEY = ?", "T.KKEY");
    EXPECT_EQ(0u, sql.find("SELECT T.* FROM osk_keyvalues T WHERE T.KKEY = ? AND ("));
    EXPECT_NE(std::string::npos, sql.find("(XDI.domain_id IN (" + std::to_string(five) + "))"));
    EXPECT_EQ(sql.size() - std::string(" ORDER BY T.KKEY").size(), sql.rfind(" ORDER BY T.KKEY"));
    // The administrators' domain selects without a filter.
    EXPECT_EQ("SELECT T.* FROM osk_keyvalues T WHERE T.KKEY = ?",
              CPrstSecuredSelect::sql(admin, CPrstKeyValue::spec(), osk::CAccessRights::read, "T.KKEY = ?"));
}

} // namespace
