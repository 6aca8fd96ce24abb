// The initializer knows the account, role and query classes: by formal
// name, in the order of the class list, made and loaded by class name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prst_database_fixture.h"
#include "prst_generic/prst_generic_initializer.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstAccountClassesTest : public PrstDatabaseTest {
protected:
    PrstAccountClassesTest() : initializer(db().session(), db().statements(), factory) { initializer.initialize(); }

    CPrstMetaAbstractFactory factory;
    CPrstGenericInitializer initializer;
};

TEST_F(PrstAccountClassesTest, EveryListedClassButThePolicyIsRegisteredInListOrder)
{
    std::vector<std::string> listed;
    for (const std::string& name : CPrstGenericInitializer::classNames())
        if (name != "CPrstTFTPPolicy") listed.push_back(name);
    const std::vector<std::string>& registered = factory.classNames();
    ASSERT_GE(registered.size(), listed.size());
    EXPECT_EQ(listed, std::vector<std::string>(registered.begin(), registered.begin() + listed.size()));
    for (const char* auxiliary : {"CPrstSQLArg", "CPrstSQLTarget", "CPrstIPAddress"})
        EXPECT_TRUE(factory.exists(auxiliary)) << auxiliary;
}

TEST_F(PrstAccountClassesTest, FormalNamesLeadToTheClasses)
{
    EXPECT_EQ("CPrstDeviceAccount", factory.classOfFormalName("account"));
    EXPECT_EQ("CPrstUserAccount", factory.classOfFormalName("user_account"));
    EXPECT_EQ("CPrstDeviceAccessControl", factory.classOfFormalName("access_control"));
    EXPECT_EQ("CPrstUserAccessControl", factory.classOfFormalName("user_access_control"));
    EXPECT_EQ("CPrstRole", factory.classOfFormalName("user_role"));
    EXPECT_EQ("CPrstCapability", factory.classOfFormalName("capability"));
    EXPECT_EQ("CPrstSQLQuery", factory.classOfFormalName("sql_query"));
    EXPECT_EQ("CPrstSNMPQueryGroup", factory.classOfFormalName("snmp_query_group"));
    EXPECT_EQ("T.ACLASS", factory.spec("CPrstDeviceAccount").attrToColumn("class"));
}

TEST_F(PrstAccountClassesTest, AUserAccountIsMadeAndLoadedByClassName)
{
    int64_t oid = -1;
    committed(admin, [&] {
        auto account = factory.createTransient("CPrstUserAccount", admin);
        account->string("name=factory-user\npass=secret\n");
        account->commit();
        oid = account->oid();
    });
    CPrstTransaction transaction(admin);
    auto loaded = factory.load("CPrstUserAccount", admin, oid);
    EXPECT_EQ("factory-user", loaded->attributes().get_string("name"));
    EXPECT_EQ("**********", loaded->attributes().get_string("pass"));
}

} // namespace
