// The initializer: classes reachable through the factory by class and
// formal name, record layouts that match the shipped tables.
#include "prst_generic/prst_generic_initializer.h"

#include <gtest/gtest.h>

#include <string>

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
    try {
        factory.createTransient("CPrstNothing", admin);
        FAIL() << "an unknown class was made";
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot create an object of class 'CPrstNothing'.", e.whatMsg().formatted());
    }
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

} // namespace
