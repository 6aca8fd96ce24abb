#include "security/a_secured_object_impl.h"
#include "security/domain_memberships_proxy.h"

#include <gtest/gtest.h>

#include "unit/security/expect_failure.h"

namespace {

using osk::CAccessRights;
using osk::CDomainID;
using osk::CDomainMemberships;
using osk::CUserAccessToken;

const CAccessRights kAll(CAccessRights::all);

// A secured object that keeps its memberships in memory and counts the
// write-backs it receives.
class CTestSecuredObject : public osk::CASecuredObjectImpl {
public:
    std::string typeName() const override { return "CTestSecuredObject"; }
    std::string string() const override { return memberships().string(); }
    void string(const std::string&) override {}

    const CDomainMemberships& memberships() const override { return _domains; }
    void memberships(const CDomainMemberships& domains) override
    {
        _domains = domains;
        ++writes;
    }
    void commit() override {}
    void refresh() override {}
    void rollback() override {}

    void copyFrom(const CTestSecuredObject& other) { _copyAttr(other); }

    int writes = 0;

private:
    CDomainMemberships _domains;
};

CTestSecuredObject objectIn(std::initializer_list<int64_t> domains)
{
    CTestSecuredObject object;
    CDomainMemberships set;
    for (int64_t id : domains) set.insert(CDomainID(id), CDomainID::device);
    object.memberships(set);
    object.writes = 0;
    return object;
}

TEST(SecuredObjectTest, BuiltStateGrantsEverything)
{
    CTestSecuredObject object;
    EXPECT_EQ(kAll, object.accessResult());
    EXPECT_TRUE(object.superUser());
    EXPECT_TRUE(object.normalMode());
    EXPECT_EQ("*", object.tableName());
    EXPECT_EQ(kAll, object.reEvaluateAccessRights("policy"));
}

TEST(SecuredObjectTest, RightsComeFromDomainsSharedWithTheObject)
{
    CTestSecuredObject object = objectIn({5, 7});
    CUserAccessToken token;
    token.grantAccess(CDomainID(5), "policy", CAccessRights(CAccessRights::read));
    token.grantAccess(CDomainID(6), "policy", CAccessRights(CAccessRights::write));
    token.grantAccess(CDomainID(7), "*", CAccessRights(CAccessRights::execute));
    token.grantAccess(CDomainID(7), "domain", CAccessRights(CAccessRights::create));
    object.clientToken(token);
    EXPECT_FALSE(object.superUser());

    // Domain 6 is not one of the object's; domain 7 adds its "*" rights.
    EXPECT_EQ(CAccessRights(CAccessRights::read | CAccessRights::execute), object.reEvaluateAccessRights("policy"));
    EXPECT_EQ(CAccessRights(CAccessRights::execute | CAccessRights::create), object.reEvaluateAccessRights("domain"));
    EXPECT_EQ(CAccessRights(CAccessRights::execute), object.reEvaluateAccessRights("keyvalue"));

    CTestSecuredObject foreign = objectIn({8});
    foreign.clientToken(token);
    EXPECT_EQ(CAccessRights(), foreign.reEvaluateAccessRights("policy"));
}

TEST(SecuredObjectTest, AdministratorsDomainGrantsAllRights)
{
    CTestSecuredObject object = objectIn({8});
    CUserAccessToken token;
    token.grantAccess(CDomainID::superUsersID(), "domain", CAccessRights(CAccessRights::read));
    object.clientToken(token);
    EXPECT_TRUE(object.superUser());
    EXPECT_EQ(kAll, object.reEvaluateAccessRights("policy"));
}

TEST(SecuredObjectTest, ModesDecideWhatReEvaluationReturns)
{
    CTestSecuredObject object = objectIn({5});
    CUserAccessToken token;
    token.grantAccess(CDomainID(5), "policy", CAccessRights(CAccessRights::read));
    object.clientToken(token);

    object.createObjSecurityMode("policy");
    object.setAccessResultImpl(CAccessRights(CAccessRights::write));
    EXPECT_FALSE(object.normalMode());
    EXPECT_EQ(CAccessRights(CAccessRights::write), object.reEvaluateAccessRights());

    object.normalSecurityMode("policy");
    EXPECT_EQ(CAccessRights(CAccessRights::read), object.reEvaluateAccessRights());
    object.normalSecurityMode("domain");
    EXPECT_EQ(CAccessRights(), object.reEvaluateAccessRights());

    object.removeAccessResultImpl();
    EXPECT_EQ(CAccessRights(), object.accessResult());

    CTestSecuredObject copy;
    copy.copyFrom(object);
    EXPECT_EQ("domain", copy.tableName());
    EXPECT_FALSE(copy.superUser());
    EXPECT_EQ(token.string(), copy.clientToken().string());
}

TEST(SecuredObjectTest, SessionEvaluationOfNewAndExistingObjects)
{
    CUserAccessToken token;
    token.grantAccess(CDomainID(5), "policy", CAccessRights(CAccessRights::read));
    token.grantAccess(CDomainID(6), "*", CAccessRights(CAccessRights::create));

    // A new object: create on "*" in domain 6 allows creating, and the
    // creator may write it (but not read it through these rights).
    CTestSecuredObject fresh = objectIn({});
    fresh.evaluateForSession(token, "policy", false);
    EXPECT_FALSE(fresh.normalMode());
    EXPECT_EQ(CAccessRights(CAccessRights::write), fresh.accessResult());
    EXPECT_NO_THROW(osk::CASecuredObjectImpl::readCheck(fresh.accessResult(), false, 0, "policy"));
    EXPECT_NO_THROW(osk::CASecuredObjectImpl::commitCheck(fresh.accessResult(), 0, "policy"));

    CUserAccessToken reader;
    reader.grantAccess(CDomainID(5), "policy", CAccessRights(CAccessRights::read));
    EXPECT_EQ(CAccessRights(), osk::CASecuredObjectImpl::createPermitted(reader, "policy"));
    fresh.evaluateForSession(reader, "policy", false);
    EXPECT_TRUE(raises([&] { osk::CASecuredObjectImpl::commitCheck(fresh.accessResult(), 0, "policy"); },
                       "Cannot commit record 0 of class policy.", "Access denied.", "prst_generic"));

    // An existing object gets the rights of the shared domains.
    CTestSecuredObject stored = objectIn({5});
    stored.evaluateForSession(token, "policy", true);
    EXPECT_TRUE(stored.normalMode());
    EXPECT_EQ(CAccessRights(CAccessRights::read), stored.accessResult());
    EXPECT_TRUE(raises([&] { osk::CASecuredObjectImpl::commitCheck(stored.accessResult(), 31, "policy"); },
                       "Cannot commit record 31 of class policy.", "Access denied.", "prst_generic"));

    CTestSecuredObject hidden = objectIn({9});
    hidden.evaluateForSession(token, "policy", true);
    EXPECT_TRUE(raises([&] { osk::CASecuredObjectImpl::readCheck(hidden.accessResult(), true, 44, "policy"); },
                       "Unable to read object 44 of type policy.", "Access denied.", "tftp_connector"));
}

TEST(SecuredObjectTest, DomainKindIsLeftToThePersistentClass)
{
    CTestSecuredObject object;
    EXPECT_TRUE(raises([&] { object.evalDomainType(CDomainID(12)); },
                       "Unable to determine whether or not domain ID 12 represents a role.",
                       "Operation not implemented."));
}

TEST(SecuredObjectTest, ProxyWritesBackAtOnceOrWhenUpdated)
{
    CTestSecuredObject object = objectIn({5});
    {
        osk::CDomainMembershipsProxy proxy = object.membershipsProxy();
        proxy.insert(CDomainID(6), CDomainID::user_role);
        EXPECT_EQ(1, object.writes);
        EXPECT_TRUE(proxy.noDeferredUpdate());
        EXPECT_NE(nullptr, object.memberships().findID(6));
        // Removing an absent domain changes nothing and writes nothing.
        EXPECT_FALSE(proxy.remove(CDomainID(42)));
        EXPECT_EQ(1, object.writes);
    }
    osk::CDomainMembershipsProxy proxy = object.membershipsProxy();
    proxy.deferredUpdate();
    proxy.remove(CDomainID(5));
    proxy.insertIf(CDomainID(9));
    EXPECT_FALSE(proxy.noDeferredUpdate());
    EXPECT_EQ(1, object.writes);
    EXPECT_NE(nullptr, object.memberships().findID(5));
    EXPECT_EQ(nullptr, proxy->findID(5));
    proxy.update();
    EXPECT_TRUE(proxy.noDeferredUpdate());
    EXPECT_EQ(2, object.writes);
    EXPECT_EQ((std::vector<int64_t>{0, 6, 9}), object.memberships().ids());
}

} // namespace
