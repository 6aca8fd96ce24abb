// The handle of a table for one thread on the real embedded engine: which
// transaction a request gets in which access mode, what is logged on the
// way, and how the writers of a table on several threads follow one another.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "extended/exception.h"
#include "fb_layer_fixture.h"
#include "oodb/db_accessor_i.h"
#include "oodb/db_table_interface_proxy.h"
#include "support/thrown.h"

namespace {

using Proxy = CDBTableInterfaceProxy;
using namespace std::chrono_literals;

const char* const kRestartWarning =
    "warning: Requested access mode is READ_WRITE_ACCESS, current is READ_ONLY_ACCESS, implies a restart of the "
    "transaction.";
const char* const kImplicitWarning =
    "warning: A database transaction has been implicitly created. This should be avoided.";
const char* const kCursorWarning = "warning: Database transaction is being implicitly upgraded to support a cursor.";

class FbTableInterfaceProxyTest : public fbtest::FbLayerTest {
protected:
    FbTableInterfaceProxyTest() : _hosts(createdTable("HOSTS")) {}

    CDBAccessorI& hosts() { return _hosts; }
    // The calling thread's handle of HOSTS (the accessor ends those still
    // registered when the test ends).
    Proxy& proxy() { return _hosts.registerThread(session()); }

    size_t logged(const std::string& text) const { return log().countContaining(text); }

private:
    CDBAccessorI& _hosts;
};

// What createTransaction throws, as "what / why".
std::string refusal(Proxy& proxy, int transType, CDBConstants::trans_access_mode mode)
{
    return test_support::failureOf([&] { proxy.createTransaction(transType, mode); });
}

TEST_F(FbTableInterfaceProxyTest, ReadOnlyRequestKeepsAReadWriteTransaction)
{
    Proxy& hosts = proxy();
    CDBTransaction& writer = hosts.begin(CDBConstants::READ_WRITE_ACCESS);
    const int64_t key = hosts.table().insert(writer, {{"NAME", std::string("uncommitted")}});

    CDBTransaction& reader = hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::READ_ONLY_ACCESS);
    EXPECT_EQ(&reader, &writer);
    EXPECT_EQ(reader.accessMode(), CDBConstants::READ_WRITE_ACCESS);
    auto rows = hosts.table().select(reader, key);
    EXPECT_TRUE(rows->fetch()) << "the kept transaction sees its own uncommitted row";
    rows.reset();
    EXPECT_EQ(&hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::APPEND_ACCESS), &writer)
        << "a read-write transaction serves an append request";
    EXPECT_EQ(logged("implies a restart"), 0u);
}

TEST_F(FbTableInterfaceProxyTest, AppendTransactionServesEveryRequest)
{
    Proxy& hosts = proxy();
    CDBTransaction& append = hosts.begin(CDBConstants::APPEND_ACCESS);
    EXPECT_EQ(&hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::READ_WRITE_ACCESS), &append);
    EXPECT_EQ(&hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::READ_ONLY_ACCESS), &append);
    EXPECT_EQ(logged("implies a restart"), 0u);
}

TEST_F(FbTableInterfaceProxyTest, ReadWriteRequestRestartsAReadOnlyTransactionAndSaysSo)
{
    Proxy& hosts = proxy();
    hosts.begin(CDBConstants::READ_ONLY_ACCESS);
    EXPECT_EQ(logged("implies a restart"), 0u);

    CDBTransaction& writer = hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(writer.accessMode(), CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(log().entries(), std::vector<std::string>{kRestartWarning});
    // The new transaction writes, and commits on end().
    hosts.table().insert(writer, {{"NAME", std::string("after restart")}});
    hosts.end();
    EXPECT_EQ(hosts.transaction(), nullptr);
    EXPECT_EQ(rowCount("HOSTS"), 1);

    hosts.begin(CDBConstants::READ_ONLY_ACCESS);
    hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::APPEND_ACCESS);
    EXPECT_EQ(logged("Requested access mode is APPEND_ACCESS, current is READ_ONLY_ACCESS"), 1u);
}

TEST_F(FbTableInterfaceProxyTest, AdaptToAnyJoinsWhateverIsOpen)
{
    Proxy& hosts = proxy();
    CDBTransaction& reader = hosts.begin(CDBConstants::READ_ONLY_ACCESS);
    CDBTransaction& joined =
        hosts.createTransaction(Proxy::TRANS_CONTINUE, CDBConstants::ADAPT_TO_ANY_ACCESS_NO_COMMIT);
    EXPECT_TRUE(log().entries().empty());
    EXPECT_EQ(&joined, &reader);
    EXPECT_EQ(joined.accessMode(), CDBConstants::READ_ONLY_ACCESS);
    hosts.end();

    // With nothing open, adapt-to-any starts a transaction that can do
    // anything.
    CDBTransaction& any = hosts.begin(CDBConstants::ADAPT_TO_ANY_ACCESS_NO_COMMIT);
    EXPECT_EQ(any.accessMode(), CDBConstants::READ_WRITE_ACCESS);
}

TEST_F(FbTableInterfaceProxyTest, TypesThatContinueRefuseToStartATransaction)
{
    Proxy& hosts = proxy();
    for (int type : {Proxy::TRANS_CONTINUE_SHORT, Proxy::TRANS_CONTINUE, Proxy::TRANS_CONTINUE_CURSOR}) {
        EXPECT_EQ(refusal(hosts, type, CDBConstants::READ_WRITE_ACCESS),
                  "Unable to continue transaction. / Requested transaction type assumes a transaction already "
                  "exists.")
            << "type " << type;
        EXPECT_EQ(hosts.transaction(), nullptr);
    }
    // A transaction that was committed behind the handle's back is dropped
    // first: continuing it is refused as well.
    hosts.begin(CDBConstants::READ_WRITE_ACCESS).commit();
    EXPECT_EQ(refusal(hosts, Proxy::TRANS_CONTINUE, CDBConstants::READ_WRITE_ACCESS),
              "Unable to continue transaction. / Requested transaction type assumes a transaction already exists.");
}

TEST_F(FbTableInterfaceProxyTest, TypesOutsideTheTableAreUndefined)
{
    Proxy& hosts = proxy();
    for (int type : {-1, 11, 1000}) {
        EXPECT_EQ(refusal(hosts, type, CDBConstants::READ_ONLY_ACCESS),
                  "Unable to continue transaction. / Undefined transaction type.")
            << "type " << type;
    }
    hosts.begin(CDBConstants::READ_ONLY_ACCESS);
    EXPECT_EQ(refusal(hosts, 11, CDBConstants::READ_ONLY_ACCESS),
              "Unable to continue transaction. / Undefined transaction type.")
        << "even with a transaction open";
}

TEST_F(FbTableInterfaceProxyTest, OnlyOperationsThatMayRunAloneCreateATransactionWithAWarning)
{
    Proxy& hosts = proxy();
    for (int type : {Proxy::TRANS_BEGIN, Proxy::TRANS_BEGIN_CURSOR, Proxy::TRANS_BEGIN_SHORT}) {
        hosts.createTransaction(type, CDBConstants::READ_ONLY_ACCESS);
        hosts.closeTransaction();
    }
    EXPECT_EQ(logged("implicitly created"), 0u);
    int implicit = 0;
    for (int type : {Proxy::TRANS_READ, Proxy::TRANS_READ_CURSOR, Proxy::TRANS_WRITE_SHORT, Proxy::TRANS_WRITE,
                     Proxy::TRANS_WRITE_CURSOR}) {
        hosts.createTransaction(type, CDBConstants::READ_ONLY_ACCESS);
        EXPECT_EQ(logged(kImplicitWarning), static_cast<size_t>(++implicit)) << "type " << type;
        // Joining the open transaction creates nothing.
        hosts.createTransaction(type, CDBConstants::READ_ONLY_ACCESS);
        EXPECT_EQ(logged(kImplicitWarning), static_cast<size_t>(implicit)) << "type " << type;
        hosts.closeTransaction();
    }
}

TEST_F(FbTableInterfaceProxyTest, CursorRequestUpgradesATransactionWithoutOneOnce)
{
    Proxy& hosts = proxy();
    CDBTransaction& plain = hosts.begin(CDBConstants::READ_WRITE_ACCESS);
    EXPECT_FALSE(hosts.cursorSupported());
    EXPECT_EQ(&hosts.createTransaction(Proxy::TRANS_CONTINUE_CURSOR, CDBConstants::READ_WRITE_ACCESS), &plain);
    EXPECT_TRUE(hosts.cursorSupported());
    hosts.createTransaction(Proxy::TRANS_READ_CURSOR, CDBConstants::READ_ONLY_ACCESS);
    EXPECT_EQ(log().entries(), std::vector<std::string>{kCursorWarning});
    hosts.end();

    hosts.createTransaction(Proxy::TRANS_BEGIN_CURSOR, CDBConstants::READ_WRITE_ACCESS);
    hosts.createTransaction(Proxy::TRANS_CONTINUE_CURSOR, CDBConstants::READ_WRITE_ACCESS);
    EXPECT_EQ(logged(kCursorWarning), 1u) << "a transaction begun with a cursor needs no upgrade";
}

TEST_F(FbTableInterfaceProxyTest, TransactionTypeGivesTheCommitType)
{
    Proxy& hosts = proxy();
    for (int type = 0; type <= CDBConstants::maxTransType; ++type) {
        if (type == Proxy::TRANS_CONTINUE_SHORT || type == Proxy::TRANS_CONTINUE ||
            type == Proxy::TRANS_CONTINUE_CURSOR)
            continue;
        const bool shortCommit = type == 2 || type == 5;
        EXPECT_EQ(hosts.createTransaction(type, CDBConstants::READ_ONLY_ACCESS).commitType(), shortCommit ? 1 : 0)
            << "type " << type;
        hosts.closeTransaction();
    }
    hosts.begin(CDBConstants::READ_ONLY_ACCESS);
    // A continuing type keeps the open transaction and its commit type.
    EXPECT_EQ(hosts.createTransaction(Proxy::TRANS_CONTINUE_SHORT, CDBConstants::READ_ONLY_ACCESS).commitType(), 0);
}

TEST_F(FbTableInterfaceProxyTest, EndCommitsAndCloseTransactionRollsBack)
{
    Proxy& hosts = proxy();
    hosts.table().insert(hosts.begin(CDBConstants::READ_WRITE_ACCESS), {{"NAME", std::string("kept")}});
    hosts.end();
    hosts.table().insert(hosts.begin(CDBConstants::READ_WRITE_ACCESS), {{"NAME", std::string("dropped")}});
    hosts.closeTransaction();
    EXPECT_EQ(hosts.transaction(), nullptr);
    EXPECT_EQ(rowCount("HOSTS"), 1);
    EXPECT_NO_THROW(hosts.end()) << "nothing to end";
    EXPECT_NO_THROW(hosts.closeTransaction());
}

} // namespace
