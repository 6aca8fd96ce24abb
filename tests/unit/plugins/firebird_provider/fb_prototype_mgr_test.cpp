// Prototypes and clones on the real embedded engine: clones are the rows of
// real selects, read in batches no larger than the layer's caps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extended/exception.h"
#include "fb_layer_fixture.h"
#include "oodb/db_prototype_mgr.h"
#include "support/thrown.h"

namespace {

using test_support::failureOf;

class FbPrototypeMgrTest : public fbtest::FbLayerTest {
protected:
    CDBPrototypeMgr& prototypes() { return session().prototypes(); }

    // HOSTS created through the prototype manager, with count rows named
    // "host<key>" whose HITS is the key times ten.
    void hostsWithRows(int count)
    {
        auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        prototypes().createAndInsert("HOSTS", fbtest::hostColumns(), *transaction);
        transaction->commit();
        transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
        CDBTableInterface hosts = session().table("HOSTS", fbtest::hostColumns());
        for (int64_t key = 1; key <= count; ++key)
            hosts.insert(*transaction, {{"PK", key}, {"NAME", "host" + std::to_string(key)}, {"HITS", key * 10}});
        transaction->commit();
    }

    // The keys of the clones held for name.
    std::vector<int64_t> keys(const std::string& name)
    {
        std::vector<int64_t> out;
        for (const CDBResultClone& clone : prototypes().clones(name)) out.push_back(clone.key());
        return out;
    }

    std::vector<int64_t> range(int64_t low, int64_t high)
    {
        std::vector<int64_t> out;
        for (int64_t key = low; key <= high; ++key) out.push_back(key);
        return out;
    }

    std::unique_ptr<CDBTransaction> reader() { return session().beginTransaction(CDBConstants::READ_ONLY_ACCESS); }
};

// The what and why texts of what work throws.

TEST_F(FbPrototypeMgrTest, ClonesHoldTheRowsOfASelectByColumnType)
{
    hostsWithRows(2);
    auto transaction = session().beginTransaction(CDBConstants::READ_WRITE_ACCESS);
    session().table("HOSTS", fbtest::hostColumns())
        .insert(*transaction, {{"PK", int64_t(3)}, {"NAME", std::string("sparse")}, {"RATIO", 0.5}});
    transaction->commit();

    EXPECT_TRUE(prototypes().tableExist("HOSTS"));
    transaction = reader();
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 3u);
    EXPECT_EQ(keys("HOSTS"), range(1, 3));
    const CDBResultClone& first = prototypes().clones("HOSTS").front();
    EXPECT_EQ(std::get<std::string>(first.value("NAME")), "host1");
    EXPECT_EQ(std::get<int64_t>(first.value("HITS")), 10);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(first.value("RATIO"))) << "a null column";
    const CDBResultClone& sparse = prototypes().clones("HOSTS").back();
    EXPECT_DOUBLE_EQ(std::get<double>(sparse.value("RATIO")), 0.5);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(sparse.value("HITS")));
    EXPECT_FALSE(prototypes().dataLeft("HOSTS"));
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 0u) << "the search is over";
    EXPECT_TRUE(prototypes().clones("HOSTS").empty());
}

TEST_F(FbPrototypeMgrTest, SelectsAreReadInBatchesOfTheSelectCap)
{
    ASSERT_EQ(CDBConstants::maxClonesPerSelect, 200u);
    hostsWithRows(250);
    auto transaction = reader();
    EXPECT_TRUE(prototypes().dataLeft("HOSTS")) << "nothing read yet";
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 200u);
    EXPECT_EQ(keys("HOSTS"), range(1, 200));
    EXPECT_TRUE(prototypes().dataLeft("HOSTS"));
    EXPECT_TRUE(prototypes().anyDataLeft());
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 50u);
    EXPECT_EQ(keys("HOSTS"), range(201, 250)) << "the next batch replaces the clones and goes on after them";
    EXPECT_FALSE(prototypes().dataLeft("HOSTS"));
    EXPECT_FALSE(prototypes().anyDataLeft());

    // The layer's own reads are capped far higher: one batch takes all.
    prototypes().setContext("HOSTS", CDBNumericContext());
    EXPECT_EQ(prototypes().cloneNested("HOSTS", *transaction), 250u);
    EXPECT_FALSE(prototypes().dataLeft("HOSTS"));
}

TEST_F(FbPrototypeMgrTest, ContextLimitsTheKeysRead)
{
    hostsWithRows(30);
    auto transaction = reader();
    prototypes().setContext("HOSTS", CDBNumericContext(10, 19));
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 10u);
    EXPECT_EQ(keys("HOSTS"), range(10, 19));
    EXPECT_FALSE(prototypes().dataLeft("HOSTS"));

    prototypes().setContext("HOSTS", CDBNumericContext(20, 10));
    EXPECT_FALSE(prototypes().dataLeft("HOSTS")) << "an empty range";
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 0u);

    prototypes().setContext("HOSTS", CDBNumericContext(CDBConstants::largestKeyValue - 1));
    EXPECT_EQ(prototypes().cloneSimple("HOSTS", *transaction), 0u);
}

TEST_F(FbPrototypeMgrTest, ExistingTableIsOpenedAndReachedThroughAliases)
{
    hostsWithRows(3);
    CDBPrototypeMgr other(controller());
    EXPECT_FALSE(other.tableExist("HOSTS"));
    other.openAndInsert("HOSTS", fbtest::hostColumns());
    other.aliases().set_string("host", "HOSTS");
    EXPECT_TRUE(other.tableExist("host"));
    EXPECT_TRUE(other.columnDefs("host").isDefined("PK"));
    auto transaction = reader();
    EXPECT_EQ(other.cloneSimple("host", *transaction), 3u);
    EXPECT_EQ(other.clones("HOSTS").size(), 3u);
}

TEST_F(FbPrototypeMgrTest, UpdateChangesTheHeldCloneOfAKey)
{
    hostsWithRows(3);
    auto transaction = reader();
    prototypes().cloneSimple("HOSTS", *transaction);
    prototypes().update("HOSTS", {{"PK", int64_t(2)}, {"NAME", std::string("renamed")}});
    EXPECT_EQ(std::get<std::string>(prototypes().clones("HOSTS")[1].value("NAME")), "renamed");
    EXPECT_EQ(std::get<int64_t>(prototypes().clones("HOSTS")[1].value("HITS")), 20) << "other columns stay";
    EXPECT_EQ(std::get<std::string>(prototypes().clones("HOSTS")[0].value("NAME")), "host1");

    EXPECT_EQ(failureOf([&] { prototypes().update("HOSTS", {{"PK", int64_t(99)}}); }),
              "Unable to find record with key 99. / No such record.");
    EXPECT_EQ(failureOf([&] { prototypes().update("HOSTS", {{"PK", int64_t(1)}, {"COLOUR", int64_t(1)}}); }),
              "Failed to write table record. / Table 'HOSTS' has no column 'COLOUR'.");
    EXPECT_EQ(std::get<std::string>(prototypes().clones("HOSTS")[0].value("NAME")), "host1")
        << "a refused update changes nothing";
    EXPECT_EQ(failureOf([&] { prototypes().update("HOSTS", {{"NAME", std::string("no key")}}); }),
              "Failed to write table record. / The primary key is not an integer.");
}

TEST_F(FbPrototypeMgrTest, SessionFindsItsPrototypesByNameOnly)
{
    session().setPrototype("HOSTS", CDBResultPrototype("HOSTS", fbtest::hostColumns()));
    EXPECT_EQ(session()["HOSTS"].name(), "HOSTS");
    EXPECT_EQ(session()["HOSTS"].columnDefs().type("PK"), CDBFieldType::DB_TYPE_LONG) << "every prototype has PK";
    EXPECT_EQ(failureOf([&] { session()["LEASES"]; }),
              "Failed to find object prototype 'LEASES'. / No such prototype.");
    session().removePrototype("HOSTS");
    EXPECT_EQ(failureOf([&] { session()["HOSTS"]; }),
              "Failed to find object prototype 'HOSTS'. / No such prototype.");
    EXPECT_EQ(failureOf([&] { session().removePrototype("HOSTS"); }),
              "Failed to find object prototype 'HOSTS'. / No such prototype.");
    auto transaction = reader();
    EXPECT_EQ(failureOf([&] { prototypes().cloneSimple("HOSTS", *transaction); }),
              "Failed to find object prototype 'HOSTS'. / No such prototype.");
}

} // namespace
