// SQL and SNMP queries with their groups, and address records, on the
// embedded engine: text and database round trips, the argument and target
// rows a query owns, the link to groups from both sides, and the address
// keys that order addresses.
#include "prst_generic/prst_sql_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prst_database_fixture.h"
#include "prst_generic/prst_ip_address.h"
#include "prst_generic/prst_snmp_query.h"

namespace {

using prsttest::PrstDatabaseTest;

class PrstQueryTest : public PrstDatabaseTest {
protected:
    template <class Group>
    int64_t group(const std::string& name)
    {
        int64_t oid = -1;
        committed(admin, [&] {
            auto existing = Group::findByName(admin, name);
            if (!existing) {
                existing = Group::createTransient(admin);
                existing->name(name);
                existing->commit();
            }
            oid = existing->oid();
        });
        return oid;
    }
    template <class Query>
    int64_t insert(const std::string& text)
    {
        return insertText<Query>(admin, text);
    }
};

TEST_F(PrstQueryTest, SqlQueryRoundTripsWithItsArgumentsTargetsAndGroups)
{
    group<CPrstSQLQueryGroup>("Query Group A");
    const int64_t b = group<CPrstSQLQueryGroup>("Query Group B");
    const std::string text = "name=q-round\ndescription=by class\nwhere_template=T.ACLASS = ? AND T.NAME = ?\n"
                             "target_classes=account,user_account\nargs=ACLASS:string, NAME:string\n"
                             "groups=Query Group B,Query Group A\n";
    const int64_t oid = insert<CPrstSQLQuery>(text);
    const osk::CStringMap stored = fields(loadedText<CPrstSQLQuery>(oid));
    EXPECT_EQ("q-round", stored.get_string("name"));
    EXPECT_EQ("T.ACLASS = ? AND T.NAME = ?", stored.get_string("where_template"));
    EXPECT_EQ("account,user_account", stored.get_string("target_classes"));
    EXPECT_EQ("ACLASS:string,NAME:string", stored.get_string("args"));
    EXPECT_EQ("Query Group B,Query Group A", stored.get_string("groups"));
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM osk_sql_arg_links WHERE SRC_ATTR_REF = ?", {oid}));
    EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM osk_sql_target_links WHERE SRC_ATTR_REF = ?", {oid}));

    CPrstTransaction transaction(admin);
    auto query = CPrstSQLQuery::findByName(admin, "q-round");
    ASSERT_TRUE(query);
    auto arg = query->findArg("NAME");
    ASSERT_TRUE(arg);
    EXPECT_EQ("string", arg->type());
    EXPECT_TRUE(query->findTarget("user_account"));
    EXPECT_FALSE(query->findTarget("domain"));
    // The group side sees the query.
    auto seen = CPrstSQLQueryGroup::load(admin, b);
    EXPECT_EQ(std::vector<int64_t>{oid}, seen->queries());
}

TEST_F(PrstQueryTest, RewritingArgumentsReplacesTheRowsAndDeletingRemovesThem)
{
    const int64_t oid = insert<CPrstSQLQuery>("name=q-rewrite\nargs=A:long,B:string\ntarget_classes=account\n");
    updateText<CPrstSQLQuery>(admin, oid, "args=C:bool\n");
    EXPECT_EQ("C:bool", field(loadedText<CPrstSQLQuery>(oid), "args"));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_sql_arg WHERE NAME IN ('A', 'B')"));
    committed(admin, [&] { CPrstSQLQuery::load(admin, oid)->deletePersistent(); });
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_sql_arg_links WHERE SRC_ATTR_REF = ?", {oid}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_sql_target_links WHERE SRC_ATTR_REF = ?", {oid}));
    EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM osk_sql_arg WHERE NAME = 'C'"));
}

TEST_F(PrstQueryTest, BadArgumentsAndGroupsAreRefusedBeforeAnythingChanges)
{
    CPrstTransaction transaction(admin);
    auto query = CPrstSQLQuery::createTransient(admin);
    query->string("name=q-bad\nargs=A:long\n");
    EXPECT_EQ("Cannot set query record from text. / Argument 'B' is not of the form name:type.",
              failure([&] { query->string("args=C:string,B\n"); }));
    EXPECT_EQ("Cannot deserialize field type 'number'. / No such field type.",
              failure([&] { query->string("args=C:number\n"); }));
    EXPECT_EQ("A:long", query->args());
    EXPECT_EQ("Cannot set query record from text. / Query group 'No Such Group' does not exist.",
              failure([&] { query->string("groups=No Such Group\n"); }));
}

TEST_F(PrstQueryTest, SortColumnsOfSqlQueries)
{
    EXPECT_EQ("T.WHERE_CLAUSE", CPrstSQLQuery::spec().attrToColumn("where_template"));
    EXPECT_EQ("SQT.NAME", CPrstSQLQuery::spec().attrToColumn("target_classes"));
    EXPECT_EQ("SQA.NAME", CPrstSQLQuery::spec().attrToColumn("args"));
    EXPECT_EQ("T.name", CPrstSQLQuery::spec().attrToColumn("name"));
}

TEST_F(PrstQueryTest, SnmpQueryRoundTripsWithItsGroups)
{
    group<CPrstSNMPQueryGroup>("Snmp Group");
    const std::string text = "name=s-round\ndescription=load\nprefix_name=1.3.6.1.4.1\nobject_name=cpuLoad\n"
                             "unit=%\nmultiplier=0.5\nmax_samples=100\nsample_interval=60\nalarm_low=-5\n"
                             "alarm_high=95\nwarn_low=0\nwarn_high=80\ngroups=Snmp Group\n";
    const int64_t oid = insert<CPrstSNMPQuery>(text);
    const osk::CStringMap stored = fields(loadedText<CPrstSNMPQuery>(oid));
    const osk::CStringMap given = fields(text);
    for (const char* key : {"name", "description", "prefix_name", "object_name", "unit", "max_samples",
                            "sample_interval", "alarm_low", "alarm_high", "warn_low", "warn_high", "groups"})
        EXPECT_EQ(given.get_string(key), stored.get_string(key)) << key;
    CPrstTransaction transaction(admin);
    auto query = CPrstSNMPQuery::findByName(admin, "s-round");
    ASSERT_TRUE(query);
    EXPECT_FLOAT_EQ(0.5F, query->multiplier());
    EXPECT_EQ(-5, query->alarmLow());
    auto groupSide = CPrstSNMPQueryGroup::findByName(admin, "Snmp Group");
    EXPECT_EQ(std::vector<int64_t>{oid}, groupSide->queries());
}

TEST_F(PrstQueryTest, AddressKeysOrderAddressesAndTheHighestIsFound)
{
    EXPECT_EQ("00000000000000000000FFFF0A000001", CPrstIPAddress::key(osk::CIPAddress("10.0.0.1")));
    EXPECT_EQ("20010DB8000000000000000000000001", CPrstIPAddress::key(osk::CIPAddress("2001:db8::1")));
    EXPECT_LT(CPrstIPAddress::key(osk::CIPAddress("10.0.0.2")), CPrstIPAddress::key(osk::CIPAddress("10.0.1.1")));
    EXPECT_THROW(CPrstIPAddress::key(osk::CIPAddress()), osk::CException);

    committed(admin, [&] {
        for (const char* text : {"10.0.0.9", "2001:db8::1", "10.0.0.10"}) {
            auto record = CPrstIPAddress::createTransient(admin);
            record->string(std::string("address=") + text);
            record->commit();
        }
    });
    CPrstTransaction transaction(admin);
    auto highest = CPrstIPAddress::highest(admin);
    ASSERT_TRUE(highest);
    EXPECT_EQ("address=2001:db8::1\n", highest->string());
    auto fresh = CPrstIPAddress::createTransient(admin);
    EXPECT_EQ("address=0.0.0.0\n", fresh->string());
    fresh->address(osk::CIPAddress());
    EXPECT_THROW(fresh->commit(), osk::CException);
}

} // namespace
