// The bound on one call to the database, on the real embedded engine: a
// statement that runs too long is cancelled and the connection stays; one
// that does not heed the cancellation loses its connection; short calls
// are left alone, however many.
#include <ibase.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "firebird_provider/fb_call_watchdog.h"
#include "firebird_provider/fb_database_proxy.h"
#include "firebird_provider/fb_status.h"
#include "support/thrown.h"
#include "unit/plugins/firebird_provider/fb_test_database.h"

namespace {

using fbprov::CFbCallWatchdog;
using fbprov::CFbStatement;
using fbprov::CFbTransaction;
using std::chrono::milliseconds;
using test_support::thrown;

// Billions of rows: far longer than any limit of these tests.
const char* const kEndlessCount = "SELECT COUNT(*) FROM RDB$TYPES A, RDB$TYPES B, RDB$TYPES C, RDB$TYPES D";

class FbCallWatchdogTest : public fbtest::FbDatabaseTest {
protected:
    // A watchdog of limit and grace on the test's database, logging into
    // lines().
    CFbCallWatchdog& watchdog(milliseconds limit, milliseconds grace = CFbCallWatchdog::defaultGrace)
    {
        _watchdog = std::make_unique<CFbCallWatchdog>(limit, file(), grace);
        _watchdog->logTo([this](uint32_t severity, const osk::CMessage& message) {
            std::lock_guard<std::mutex> guard(_linesMutex);
            _lines.push_back(std::to_string(severity) + " " + message.formatted());
        });
        return *_watchdog;
    }

    std::vector<std::string> lines()
    {
        std::lock_guard<std::mutex> guard(_linesMutex);
        return _lines;
    }

    // How long the endless count runs in a watched transaction before it
    // fails, and how it fails.
    milliseconds endlessCount(osk::CException& failure)
    {
        const auto start = std::chrono::steady_clock::now();
        failure = thrown([&] {
            CFbTransaction transaction(db(), CFbTransaction::readOnly, CFbTransaction::defaultLockTimeout,
                                       _watchdog.get());
            CFbStatement(transaction, kEndlessCount).select(transaction)->fetch();
        });
        return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    }

    // A query on a transaction without watchdog answers again.
    int64_t tableCount()
    {
        CFbTransaction transaction(db(), CFbTransaction::readOnly);
        CFbStatement count(transaction, "SELECT COUNT(*) FROM RDB$RELATIONS");
        auto rows = count.select(transaction);
        EXPECT_TRUE(rows->fetch());
        return rows->asInt64(0u);
    }

private:
    std::unique_ptr<CFbCallWatchdog> _watchdog;
    std::mutex _linesMutex;
    std::vector<std::string> _lines;
};

TEST_F(FbCallWatchdogTest, AStatementBeyondTheLimitIsCancelledAndTheConnectionStays)
{
    CFbCallWatchdog& bound = watchdog(milliseconds(300));
    osk::CException failure;
    const milliseconds took = endlessCount(failure);
    EXPECT_GE(took.count(), 300);
    EXPECT_LT(took.count(), 1800) << "cancelled before the grace ran out";
    EXPECT_NE(std::string::npos, failure.printableError().find("operation was cancelled")) << failure.printableError();
    EXPECT_EQ(1u, bound.cancelled());
    EXPECT_EQ(0u, bound.aborted());
    EXPECT_EQ(std::vector<std::string>{std::to_string(osk::CException::warning) + " A call to the database '" +
                                       file() + "' was not answered in 300 ms; it is cancelled."},
              lines());
    EXPECT_GT(tableCount(), 0) << "the connection still serves";
}

TEST_F(FbCallWatchdogTest, ACallThatIgnoresTheCancellationLosesItsConnection)
{
    CFbCallWatchdog& bound = watchdog(milliseconds(200), milliseconds(300));
    // The engine may be told to let nothing cancel the attachment's calls;
    // only closing the connection ends them then.
    fbprov::CFbStatus status;
    db().get()->cancelOperation(status.get(), fb_cancel_disable);
    status.check(osk::CMessage("Cannot disable cancellation."), "test");
    osk::CException failure;
    const milliseconds took = endlessCount(failure);
    EXPECT_GE(took.count(), 500);
    EXPECT_EQ(1u, bound.cancelled());
    EXPECT_EQ(1u, bound.aborted());
    const std::vector<std::string> logged = lines();
    ASSERT_EQ(2u, logged.size());
    EXPECT_EQ(std::to_string(osk::CException::error) + " A call to the database '" + file() +
                  "' was not answered in 200 ms, nor its cancellation in 300 ms; its connection is closed, and the "
                  "next transaction opens a new one.",
              logged[1]);
    EXPECT_THROW(tableCount(), osk::CException) << "the connection is closed";
}

TEST_F(FbCallWatchdogTest, CallsWithinTheLimitAreLeftAlone)
{
    CFbCallWatchdog& bound = watchdog(milliseconds(500));
    // Many short calls, one after another, for longer than the limit in all.
    const auto until = std::chrono::steady_clock::now() + milliseconds(1200);
    int transactions = 0;
    while (std::chrono::steady_clock::now() < until) {
        CFbTransaction transaction(db(), CFbTransaction::readOnly, CFbTransaction::defaultLockTimeout, &bound);
        CFbStatement count(transaction, "SELECT COUNT(*) FROM RDB$RELATIONS");
        ASSERT_TRUE(count.select(transaction)->fetch());
        transaction.commit();
        ++transactions;
    }
    EXPECT_GT(transactions, 1);
    EXPECT_EQ(0u, bound.cancelled());
    EXPECT_TRUE(lines().empty());
}

// The proxy of the object database layer bounds its transactions' calls
// by the configured time-out, or not at all for 0.
TEST(FbCallWatchdogSettingsTest, TheAnswerTimeOutIsReadAndZeroTurnsTheBoundOff)
{
    osk::CStringMap config;
    config.set_string("system.db.name", "unused");
    EXPECT_EQ(milliseconds(10000), fbprov::CFbConnectionSettings(config).answerTimeout());
    config.set_string("system.db.answer_timeout", "1500us");
    EXPECT_EQ(milliseconds(2), fbprov::CFbConnectionSettings(config).answerTimeout()) << "rounded up";
    config.set_string("system.db.answer_timeout", "0");
    EXPECT_EQ(milliseconds(0), fbprov::CFbConnectionSettings(config).answerTimeout());

    test_support::TempDir dir;
    fbprov::CFbConnectionSettings settings = fbtest::settingsFor(dir / "proxy.fdb");
    settings.answerTimeout(milliseconds(0));
    EXPECT_EQ(nullptr, fbprov::CFbDatabaseProxy(settings).watchdog());
    settings.answerTimeout(milliseconds(250));
    fbprov::CFbDatabaseProxy proxy(settings);
    ASSERT_NE(nullptr, proxy.watchdog());
    EXPECT_EQ(milliseconds(250), proxy.watchdog()->limit());
    EXPECT_EQ(proxy.watchdog(), proxy.attachment()->watchdog());
}

} // namespace
