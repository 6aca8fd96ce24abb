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
