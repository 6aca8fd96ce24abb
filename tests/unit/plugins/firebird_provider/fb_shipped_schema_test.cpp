// The deployment files of db/ as the daemon uses them: the schema scripts
// build a database, and every named statement of the shipped statement and
// user query files is prepared against it by Firebird itself, so a typo in
// a table, a column or the SQL fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fb_test_database.h"
#include "firebird_provider/fb_schema_upgrader.h"
#include "oodb/db_constants.h"
#include "oodb/db_statement_expander.h"
#include "oodb/db_statement_file_reader.h"
#include "oodb/db_table_group_file_reader.h"
#include "standard/string_util.h"
#include "tftp/tftp_database/tftp_database.h"

namespace {

const std::string kDbDir = ZELVO_DB_DIR;

// The statements the persistent classes look objects up with.
const std::vector<std::string> kClassStatements = {
    "domain.name", "domain.type", "domain.group.name", "domain_group.id", "domain_group.name", "domainid.id",
    "domainnameid.name", "domainnameid.id", "domain_memberships.domainid", "user_account.name",
    "device_account.name_class", "capability.role", "capability.role_class", "keyvalue.class_subclass",
    "keyvalue.class_subclass_key", "keyvalue.class_subclass_key_enabled", "query.arg_name", "query.target_name",
    "tftp_policy.dom", "generic.count", "generic.all", "link2many.src.ref_name", "bilink.src.ref_name",
    "bilink.dest.ref_name", "abinding.maxaddr"};

// One database built by the shipped scripts serves the whole suite (building
// it commits every statement on its own and takes seconds).
class FbShippedSchemaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        _dir = std::make_unique<test_support::TempDir>();
        _db = fbprov::CFbConnector::open(fbtest::settingsFor(*_dir / "shipped.fdb"));
        fbprov::CFbSchemaUpgrader upgrader(*_db, kDbDir + "/" + CDBConstants::versionsDirectory,
                                           fbprov::CFbSchemaUpgrader::initialDataScripts(kDbDir));
        upgrader.upgrade(CTFTPDatabase::applicationSchemaVersion);
    }
    static void TearDownTestSuite()
    {
        _db.reset();
        _dir.reset();
    }
    static fbprov::CFbAttachment& db() { return *_db; }
    static const test_support::TempDir& dir() { return *_dir; }

    static int64_t scalar(const std::string& sql)
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
        fbprov::CFbStatement query(transaction, sql);
        auto rows = query.select(transaction);
        EXPECT_TRUE(rows->fetch()) << sql;
        return rows->asInt64(0);
    }
    static bool tableExists(const std::string& table)
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
        fbprov::CFbStatement query(transaction, "SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?");
        return query.select(transaction, {table})->fetch();
    }

    // The SQL texts of a statement: a template once per table of its group.
    static std::vector<std::string> textsOf(const CDBStatementSpec& spec, const CDBTableGroupFileReader& groups)
    {
        if (spec.statement.find("<<") == std::string::npos) return {spec.statement};
        std::vector<std::string> texts;
        for (const std::string& table : groups.find(spec.group).tables)
            texts.push_back(CDBStatementExpander(table, CDBTypeStringMap()).expand(spec.statement));
        return texts;
    }

    // Prepares every statement of the file on every table of its group (a
    // template once per table) and checks its "?" against its arguments.
    void prepareAll(const CDBStatementFileReader& statements, const CDBTableGroupFileReader& groups)
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
        for (const auto& [name, spec] : statements.statements()) {
            SCOPED_TRACE("statement " + name);
            ASSERT_TRUE(groups.exists(spec.group)) << "its group '" << spec.group << "' is not defined";
            EXPECT_EQ(spec.argNames.size(), spec.argTypes.size());
            for (const std::string& text : textsOf(spec, groups)) {
                try {
                    fbprov::CFbStatement prepared(transaction, text);
                    EXPECT_EQ(spec.argNames.size(), prepared.parameterCount()) << text;
                } catch (const osk::CException& e) {
                    ADD_FAILURE() << e.printableError();
                }
            }
        }
    }

    // Every table a group names exists.
    void tablesExist(const CDBTableGroupFileReader& groups)
    {
        for (const auto& [group, spec] : groups.groups())
            for (const std::string& table : spec.tables) {
                std::string upper = table;
                std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
                EXPECT_TRUE(tableExists(upper)) << "group " << group << " names " << table;
            }
    }

private:
    static std::unique_ptr<test_support::TempDir> _dir;
    static std::unique_ptr<fbprov::CFbAttachment> _db;
};

std::unique_ptr<test_support::TempDir> FbShippedSchemaTest::_dir;
std::unique_ptr<fbprov::CFbAttachment> FbShippedSchemaTest::_db;

TEST_F(FbShippedSchemaTest, EveryShippedStatementPreparesAgainstTheShippedSchema)
{
    CDBStatementFileReader statements;
    statements.read(kDbDir, "statements.spec");
    CDBTableGroupFileReader groups;
    ASSERT_TRUE(groups.read(kDbDir, "table_groups.spec"));
    for (const std::string& name : kClassStatements)
        EXPECT_TRUE(statements.exists(name)) << name << " is missing from statements.spec";
    tablesExist(groups);
    prepareAll(statements, groups);

    CDBStatementFileReader queries;
    queries.read(kDbDir, "user_sql_queries.spec");
    CDBTableGroupFileReader queryGroups;
    ASSERT_TRUE(queryGroups.read(kDbDir, "user_sql_query_groups.spec"));
    EXPECT_FALSE(queries.statements().empty());
    tablesExist(queryGroups);
    prepareAll(queries, queryGroups);
}

TEST_F(FbShippedSchemaTest, ANewDatabaseHoldsTheWellKnownRecordsAndTheImportedOnes)
{
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domains WHERE OID = 0 AND NAME = 'Administrators' "
                        "AND DOMAIN_TYPE = 1"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_domains WHERE OID = 1 AND NAME = 'Observers'"));
    EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM osk_domain_groups"));
    EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM osk_keyvalues WHERE KKEY = 'created_by'"));
    // New rows get keys past the fixed ones (GEN_ID with 0 reads the
    // current value without moving it).
    EXPECT_EQ(1, scalar("SELECT GEN_ID(osk_domains, 0) FROM RDB$DATABASE"));
    EXPECT_EQ(2, scalar("SELECT GEN_ID(osk_domain_groups, 0) FROM RDB$DATABASE"));
    EXPECT_EQ(1, scalar("SELECT GEN_ID(osk_keyvalues, 0) FROM RDB$DATABASE"));
}

TEST_F(FbShippedSchemaTest, ReferencesAreFoundFromTheCatalogue)
{
    fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
    fbprov::CFbStatement query(transaction, CDBConstants::selectDomainForeignKeys);
    auto rows = query.select(transaction);
    bool nameId = false;
    size_t references = 0;
    while (rows->fetch()) {
        ++references;
        const std::string field = rows->asString(0), table = rows->asString(1), dest = rows->asString(3);
        if (field.rfind("NAME_ID_REF", 0) == 0 && table.rfind("OSK_DOMAINS", 0) == 0)
            nameId = dest.find("osk_domain_name_id") != std::string::npos;
    }
    EXPECT_TRUE(nameId) << "the domain's name reference points to osk_domain_name_id";
    // SECURED_REF of the 12 secured tables; the domain's name, the
    // memberships record, the role's domain and the account and domain of
    // the two access controls.
    EXPECT_EQ(19u, references);
}

TEST_F(FbShippedSchemaTest, ANameSortedPageIsReadAlongAnIndexBothWays)
{
    fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
    std::vector<std::string> tables;
    {
        fbprov::CFbStatement user(transaction, "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS "
                                               "WHERE RDB$SYSTEM_FLAG = 0 AND RDB$VIEW_BLR IS NULL");
        auto rows = user.select(transaction);
        while (rows->fetch()) tables.push_back(rows->asString(0));
    }
    // The tables whose NAME orders the rows on its own: the row pager sorts
    // them by NAME alone.
    std::vector<std::string> named;
    fbprov::CFbStatement unique(transaction, CDBConstants::countUniqueNotNullColumn);
    for (const std::string& table : tables) {
        auto rows = unique.select(transaction, {table, std::string("NAME")});
        if (rows->fetch() && rows->asInt64(0) > 0) named.push_back(table);
    }
    EXPECT_EQ(8u, named.size()) << "domains, domain groups, user accounts, queries, query groups, SNMP "
                                   "queries, SNMP groups and policies have unique names";
    for (const std::string& table : named) {
        for (const char* direction : {" ASC", " DESC"}) {
            const std::string sql = "SELECT T.* FROM " + table + " T ORDER BY T.NAME" + direction + " ROWS ? TO ?";
            const std::string plan = fbprov::CFbStatement(transaction, sql).plan();
            EXPECT_NE(std::string::npos, plan.find(" ORDER ")) << sql << ": " << plan;
            EXPECT_EQ(std::string::npos, plan.find("SORT")) << sql << ": " << plan;
        }
    }
}

TEST_F(FbShippedSchemaTest, EveryTablesKeyBoundsAreReadAlongAnIndex)
{
    fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
    std::vector<std::string> keyed;
    {
        fbprov::CFbStatement tables(transaction, "SELECT TRIM(R.RDB$RELATION_NAME) FROM RDB$RELATIONS R JOIN "
                                                 "RDB$RELATION_FIELDS F ON F.RDB$RELATION_NAME = R.RDB$RELATION_NAME "
                                                 "WHERE R.RDB$SYSTEM_FLAG = 0 AND F.RDB$FIELD_NAME = 'PK'");
        auto rows = tables.select(transaction);
        while (rows->fetch()) keyed.push_back(rows->asString(0));
    }
    EXPECT_EQ(28u, keyed.size());
    // A key pager starts with the lowest and the highest key of its table:
    // neither may read the whole table.
    for (const std::string& table : keyed) {
        const CDBStatementExpander expander(table, CDBTypeStringMap());
        for (const char* bound : {"SELECT_PK_LOWER_BOUND", "SELECT_PK_UPPER_BOUND"}) {
            const std::string plan = fbprov::CFbStatement(transaction, expander.statement(bound)).plan();
            EXPECT_EQ(std::string::npos, plan.find("NATURAL")) << table << " " << bound << ": " << plan;
        }
    }
    // The highest address likewise.
    CDBStatementFileReader statements;
    statements.read(kDbDir, "statements.spec");
    const std::string highest = statements.find("abinding.maxaddr").statement;
    const std::string plan = fbprov::CFbStatement(transaction, highest).plan();
    EXPECT_EQ(std::string::npos, plan.find("NATURAL")) << highest << ": " << plan;
}

TEST_F(FbShippedSchemaTest, NoShippedStatementWalksAnIndexToFilterItsRows)
{
    // "ORDER a INDEX (b)": Firebird reads the whole table along index a for
    // the order and checks each row against index b, where an index that
    // serves both would read only the rows wanted.
    CDBStatementFileReader statements;
    statements.read(kDbDir, "statements.spec");
    CDBTableGroupFileReader groups;
    ASSERT_TRUE(groups.read(kDbDir, "table_groups.spec"));
    fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
    for (const auto& [name, spec] : statements.statements()) {
        for (const std::string& text : textsOf(spec, groups)) {
            const std::string plan = fbprov::CFbStatement(transaction, text).plan();
            // One line of the plan for each select (a subquery has its own).
            for (const std::string& select : osk::CStringUtil::split(plan, "\n", "")) {
                const size_t order = select.find(" ORDER ");
                EXPECT_TRUE(order == std::string::npos || select.find(" INDEX (", order) == std::string::npos)
                    << name << ": " << text << "\n" << plan;
            }
        }
    }
}

TEST_F(FbShippedSchemaTest, TheStoredPoliciesOfARequestAreFoundFromTheAccountAlongIndexes)
{
    // On a new database every index's statistics say nothing; the plan must
    // not depend on them (a plan from the domain's members to the accounts
    // took 70 s for one account among 5,000 of a domain). Nor may it read
    // the members of the account's domains that are not policies: along
    // the DOMAIN_ID index a domain of 100,000 devices cost 0.3 s a lookup.
    CDBStatementFileReader statements;
    statements.read(kDbDir, "statements.spec");
    fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
    const std::string plan =
        fbprov::CFbStatement(transaction, statements.find("stored_policy.account_policies").statement).plan();
    EXPECT_NE(std::string::npos, plan.find("(A INDEX (OSK_ACCOUNTS_NAME)")) << plan;
    EXPECT_NE(std::string::npos, plan.find("DI INDEX (OSK_DOMAIN_ID_MEMBER_TABLE)")) << plan;
    EXPECT_EQ(std::string::npos, plan.find("OSK_DOMAIN_ID_DOMAIN")) << plan;
    EXPECT_EQ(std::string::npos, plan.find("NATURAL")) << plan;
}

TEST_F(FbShippedSchemaTest, AVersionOneDatabaseUpgradesToTheProgramsVersion)
{
    auto old = fbprov::CFbConnector::open(fbtest::settingsFor(dir() / "old.fdb"));
    fbprov::CFbSchemaUpgrader upgrader(*old, kDbDir + "/" + CDBConstants::versionsDirectory);
    upgrader.upgrade(1);
    ASSERT_EQ(1u, upgrader.currentVersion());
    upgrader.upgrade(CTFTPDatabase::applicationSchemaVersion);
    EXPECT_EQ(CTFTPDatabase::applicationSchemaVersion, upgrader.currentVersion());
    EXPECT_FALSE(upgrader.upgradeInProgress());
    fbprov::CFbTransaction transaction(*old, fbprov::CFbTransaction::readOnly);
    const std::string plan =
        fbprov::CFbStatement(transaction, "SELECT T.* FROM tftp_policy T ORDER BY T.NAME DESC").plan();
    EXPECT_NE(std::string::npos, plan.find("TFTP_POLICY_NAME_DESC")) << plan;
}

TEST_F(FbShippedSchemaTest, TheSchemaFitsTheSmallestPageSize)
{
    auto settings = fbtest::settingsFor(dir() / "small.fdb");
    settings.pageSize(4096);
    auto small = fbprov::CFbConnector::open(settings);
    fbprov::CFbSchemaUpgrader upgrader(*small, kDbDir + "/" + CDBConstants::versionsDirectory);
    EXPECT_NO_THROW(upgrader.upgrade(CTFTPDatabase::applicationSchemaVersion));
}

} // namespace
