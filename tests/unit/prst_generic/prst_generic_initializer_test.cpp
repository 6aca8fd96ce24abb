// The initializer: classes reachable through the factory by class and
// formal name (the account, role and query classes among them, in the order
// of the class list), record layouts that match the shipped tables.
#include "prst_generic/prst_generic_initializer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prst_database_fixture.h"
#include "prst_generic/prst_domain.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstGenericInitializerTest : public PrstDatabaseTest {
protected:
    PrstGenericInitializerTest() : initializer(db().session(), db().statements(), factory) { initializer.initialize(); }

    CPrstMetaAbstractFactory factory;
    CPrstGenericInitializer initializer;
};

TEST_F(PrstGenericInitializerTest, TheNameListsPairClassesWithFormalNames)
{
    ASSERT_EQ(15u, CPrstGenericInitializer::classNames().size());
    ASSERT_EQ(14u, CPrstGenericInitializer::formalNames().size());
    for (const std::string& className : factory.classNames()) {
        const std::string& formal = factory.spec(className).formalName();
        if (formal.empty()) continue;
        size_t i = 0;
        while (i < 14 && CPrstGenericInitializer::classNames()[i] != className) ++i;
        ASSERT_LT(i, 14u) << className << " is not in the class list";
        EXPECT_EQ(CPrstGenericInitializer::formalNames()[i], formal);
    }
    EXPECT_EQ("CPrstDomain", factory.classOfFormalName("domain"));
    EXPECT_EQ("CPrstKeyValue", factory.classOfFormalName("keyvalue"));
    EXPECT_EQ("", factory.classOfFormalName("no_such_class"));
}

TEST_F(PrstGenericInitializerTest, RecordSpecsNameEveryColumnOfTheirTable)
{
    for (const std::string& className : factory.classNames()) {
        SCOPED_TRACE(className);
        const CPrstClassSpec& spec = factory.spec(className);
        const CDBTypeStringMap& columns = db().session().prototypes().columnDefs(spec.table());
        EXPECT_EQ(&db().session()[spec.table()], &db().session()[className]);
        for (const std::string& column : columns.columnNames())
            EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = UPPER(?) AND "
                                "RDB$FIELD_NAME = ?",
                                {spec.table(), column}))
                << column;
    }
    EXPECT_TRUE(db().session().prototypes().columnDefs("osk_domains").isDefined("NAME_ID_REF"));
    EXPECT_EQ(&db().session()["osk_domains"], &db().session()["domain"]);
}

TEST_F(PrstGenericInitializerTest, TheFactoryMakesAndLoadsObjectsByClassName)
{
    CPrstTransaction transaction(admin);
    auto observers = factory.load("CPrstDomain", admin, 1);
    EXPECT_EQ("Observers", observers->attributes().get_string("name"));
    auto fresh = factory.createTransient("CPrstKeyValue", admin);
    EXPECT_FALSE(fresh->existing());
    EXPECT_EQ("keyvalue", fresh->classSpec().formalName());
    const std::string refused = failure([&] { factory.createTransient("CPrstNothing", admin); });
    EXPECT_EQ(0u, refused.find("Cannot create an object of class 'CPrstNothing'. / ")) << refused;
}

TEST_F(PrstGenericInitializerTest, AttributesMapToTheirSqlColumns)
{
    const CPrstClassSpec& domain = factory.spec("CPrstDomain");
    EXPECT_EQ("T.domain_type", domain.attrToColumn("type"));
    EXPECT_EQ("DG.NAME", domain.attrToColumn("groups"));
    EXPECT_EQ("T.name", domain.attrToColumn("name"));
    const CPrstClassSpec& keyValue = factory.spec("CPrstKeyValue");
    EXPECT_EQ("T.KCLASS", keyValue.attrToColumn("class"));
    EXPECT_EQ("T.KKEY", keyValue.attrToColumn("key"));
    EXPECT_EQ("T.KVALUE", keyValue.attrToColumn("value"));
    EXPECT_EQ("T.subclass", keyValue.attrToColumn("subclass"));
}

TEST_F(PrstGenericInitializerTest, EveryListedClassButThePolicyIsRegisteredInListOrder)
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

TEST_F(PrstGenericInitializerTest, FormalNamesOfAccountsRolesAndQueriesLeadToTheClasses)
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

TEST_F(PrstGenericInitializerTest, AUserAccountIsMadeAndLoadedByClassName)
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
