#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "extended/exception.h"
#include "rconsole_base/rconsole_client.h"
#include "rconsole_base/rconsole_login_throttle.h"
#include "rconsole_base/rconsole_pending_logins.h"
#include "support/thrown.h"
#include "unit/rconsole_base/console_fixture.h"

using namespace zelvo_test;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using Throttle = CRConsoleLoginThrottle;

const char* const kGreeting = "Connected to this server.\n\n";

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- the failure delay, per source ------------------------------------------

TEST(LoginThrottle, DelayDoublesPerFailureUpToTheCap)
{
    Throttle throttle;
    const auto now = Clock::now();
    std::vector<Clock::duration> delays;
    for (int i = 0; i < 8; ++i) delays.push_back(throttle.failure("10.0.0.1", now + i * 1s).delay);
    const std::vector<Clock::duration> expected = {100ms, 200ms, 400ms, 800ms, 1600ms, 3s, 3s, 3s};
    EXPECT_EQ(delays, expected);
    // Another address starts from the shortest delay.
    EXPECT_EQ(throttle.failure("10.0.0.2", now + 8s).delay, Clock::duration(100ms));
    // A thousand failures stay at the cap.
    for (int i = 0; i < 1000; ++i) throttle.failure("10.0.0.1", now + 9s);
    EXPECT_EQ(throttle.failure("10.0.0.1", now + 9s).delay, Clock::duration(3s));
}

TEST(LoginThrottle, BurstIsReportedOnceWithItsCountAfterQuiet)
{
    Throttle throttle;
    const auto start = Clock::now();
    int opened = 0;
    for (int i = 0; i < 5; ++i)
        if (throttle.failure("10.0.0.1", start + i * 2s).startsBurst) ++opened;
    EXPECT_EQ(opened, 1);
    // Still within the quiet period of the last failure (at 8 s).
    EXPECT_TRUE(throttle.sweep(start + 67s).empty());
    const auto ended = throttle.sweep(start + 68s);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].source, "10.0.0.1");
    EXPECT_EQ(ended[0].failures, 5u);
    EXPECT_EQ(ended[0].length, Clock::duration(8s));
    // Reported once: the source is forgotten and starts afresh.
    EXPECT_TRUE(throttle.sweep(start + 200s).empty());
    EXPECT_EQ(throttle.sources(), 0u);
    const auto again = throttle.failure("10.0.0.1", start + 201s);
    EXPECT_TRUE(again.startsBurst);
    EXPECT_EQ(again.delay, Clock::duration(100ms));
}

TEST(LoginThrottle, QuietSourceIsEndedOnItsNextFailureEvenWithoutSweep)
{
    Throttle throttle;
    const auto start = Clock::now();
    throttle.failure("10.0.0.1", start);
    throttle.failure("10.0.0.1", start + 1s);
    const auto later = throttle.failure("10.0.0.1", start + 100s);
    EXPECT_TRUE(later.startsBurst);
    EXPECT_EQ(later.delay, Clock::duration(100ms));
    ASSERT_EQ(later.ended.size(), 1u);
    EXPECT_EQ(later.ended[0].failures, 2u);
}

TEST(LoginThrottle, TrackedSourcesAreBoundedEndingTheQuietest)
{
    Throttle::Policy policy;
    policy.maxSources = 2;
    Throttle throttle(policy);
    const auto start = Clock::now();
    throttle.failure("a", start + 1s);
    throttle.failure("b", start);
    throttle.failure("a", start + 2s);
    const auto third = throttle.failure("c", start + 3s);
    ASSERT_EQ(third.ended.size(), 1u);
    EXPECT_EQ(third.ended[0].source, "b");
    EXPECT_EQ(throttle.sources(), 2u);
    const auto all = throttle.endAll();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].source, "a");
    EXPECT_EQ(all[0].failures, 2u);
}

// ---- the bound on unfinished logins -------------------------------------------

// A pending login over one end of a socket pair; the other end is the peer.
struct PairedLogin {
    osk::CTrackedPtr<CRConsolePendingLogin> login;
    int peer = -1;
    PairedLogin()
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return;
        login = osk::CTrackedFactory::createUnique<CRConsolePendingLogin>(ends[0]);
        peer = ends[1];
    }
    ~PairedLogin()
    {
        if (peer >= 0) ::close(peer);
    }
};

TEST(PendingLogins, AdmittingBeyondTheLimitGivesBackTheOldestFirst)
{
    CRConsolePendingLogins pending(3);
    std::vector<PairedLogin> pairs(6);
    std::vector<const CRConsolePendingLogin*> order;
    for (auto& pair : pairs) order.push_back(pair.login.get());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(pending.admit(std::move(pairs[i].login)).empty());
    auto dropped = pending.admit(std::move(pairs[3].login));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].get(), order[0]);
    // Taking one out makes room without dropping anything.
    EXPECT_TRUE(pending.take(order[2]) != nullptr);
    EXPECT_TRUE(pending.admit(std::move(pairs[4].login)).empty());
    EXPECT_FALSE(pending.holds(order[2]));
    EXPECT_EQ(pending.find(order[1]->handle()), order[1]);
    // A lower limit drops as many of the oldest as it must.
    pending.limit(1);
    dropped = pending.admit(std::move(pairs[5].login));
    ASSERT_EQ(dropped.size(), 3u);
    EXPECT_EQ(dropped[0].get(), order[1]);
    EXPECT_EQ(dropped[1].get(), order[3]);
    EXPECT_EQ(dropped[2].get(), order[4]);
    EXPECT_EQ(pending.size(), 1u);
}

TEST(PendingLogins, ResponseArrivesInPiecesAndAClosedPeerFails)
{
    PairedLogin pair;
    ASSERT_TRUE(pair.login->sendChallenge());
    std::string challenge(1024, '\0');
    ASSERT_EQ(::recv(pair.peer, &challenge[0], challenge.size(), MSG_WAITALL), 1024);
    EXPECT_EQ(pair.login->receive(), CRConsolePendingLogin::Progress::incomplete);
    const std::string part(1000, 'x');
    ASSERT_EQ(::send(pair.peer, part.data(), part.size(), 0), 1000);
    EXPECT_EQ(pair.login->receive(), CRConsolePendingLogin::Progress::incomplete);
    EXPECT_EQ(pair.login->received(), 1000u);
    ASSERT_EQ(::send(pair.peer, part.data(), 24, 0), 24);
    EXPECT_EQ(pair.login->receive(), CRConsolePendingLogin::Progress::complete);

    PairedLogin closed;
    ASSERT_EQ(::send(closed.peer, part.data(), 10, 0), 10);
    ::close(closed.peer);
    closed.peer = -1;
    EXPECT_EQ(closed.login->receive(), CRConsolePendingLogin::Progress::incomplete);
    EXPECT_EQ(closed.login->receive(), CRConsolePendingLogin::Progress::failed);
}

// ---- the acceptor with idle, slow and wrong peers ---------------------------------

class ConsoleGuardTest : public CConsoleFixture {
protected:
    void set(const std::string& key, const std::string& value) { controller.config()->set_string(key, value); }

    // A console that logged in and read the greeting, or null.
    std::unique_ptr<CRawConsole> admin(const std::string& password)
    {
        std::unique_ptr<CRawConsole> console(new CRawConsole);
        if (!console->connect(port) || !console->login(password)) return nullptr;
        if (console->greeting() != kGreeting) return nullptr;
        return console;
    }

    // Answers the challenge the console has already read.
    static bool answer(CRawConsole& console, const std::string& password)
    {
        rconsole_auth_protocol response;
        CRConsoleLogin::makeResponse(console.challenge(), "", 1, password, console.cipher(), response);
        console.encryption(true);
        return console.sendRaw(&response, sizeof(response));
    }

    // Seconds from sending a wrong password to the close.
    double failedLoginSeconds()
    {
        CRawConsole wrong;
        if (!wrong.connect(port) || !wrong.readChallenge()) return -1;
        const auto sent = Clock::now();
        if (!answer(wrong, "wrong")) return -1;
        if (!wrong.waitClosed(10)) return -1;
        return secondsSince(sent);
    }
};

TEST_F(ConsoleGuardTest, IdlePeersDoNotKeepAnAdministratorOut)
{
    storePassword("secret");
    start(true);
    // More idle connections than may be pending: the acceptor neither waits
    // for them nor lets them fill the console. (Each waits for its challenge
    // so that the connections do not overflow the listen backlog of five.)
    const size_t threadsBefore = threadCount();
    std::vector<std::unique_ptr<CRawConsole>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.emplace_back(new CRawConsole);
        ASSERT_TRUE(idle.back()->connect(port));
        ASSERT_TRUE(idle.back()->readChallenge());
    }
    // No thread for a connection that has not logged in.
    EXPECT_EQ(threadCount(), threadsBefore);
    const auto start = Clock::now();
    auto console = admin("secret");
    ASSERT_NE(console, nullptr);
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_EQ(console->command("echo\nk=v\n\n"), "echo=\nk=v\ncode=ack\n\n");
}

TEST_F(ConsoleGuardTest, PendingBoundClosesTheOldestFirst)
{
    set("rconsole.max_pending_logins", "3");
    start(true);
    std::vector<std::unique_ptr<CRawConsole>> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.emplace_back(new CRawConsole);
        ASSERT_TRUE(waiting.back()->connect(port));
        ASSERT_TRUE(waiting.back()->readChallenge());
    }
    // The fourth pushes out the first, and only it.
    CRawConsole fourth;
    ASSERT_TRUE(fourth.connect(port));
    ASSERT_TRUE(fourth.readChallenge());
    EXPECT_TRUE(waiting[0]->waitClosed(2));
    bool closed = true;
    waiting[1]->recvRaw(0.3, &closed);
    EXPECT_FALSE(closed);
    // An administrator logging in now pushes out the second; the third and
    // fourth can still finish their logins.
    auto console = admin(" ");
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(waiting[1]->waitClosed(2));
    ASSERT_TRUE(answer(*waiting[2], " "));
    EXPECT_EQ(waiting[2]->greeting(), kGreeting);
    ASSERT_TRUE(answer(fourth, " "));
    EXPECT_EQ(fourth.greeting(), kGreeting);
}

TEST_F(ConsoleGuardTest, OneDeadlineForTheWholeLoginExchange)
{
    set("rconsole.login_timeout", "1s");
    start(true);
    // One byte every 200 ms keeps every single read short; the exchange as
    // a whole still ends at its deadline.
    CRawConsole trickle;
    ASSERT_TRUE(trickle.connect(port));
    const auto start = Clock::now();
    ASSERT_TRUE(trickle.readChallenge());
    bool closed = false;
    while (!closed && secondsSince(start) < 5) {
        trickle.sendRaw("x", 1);
        trickle.recvRaw(0.2, &closed);
    }
    const double took = secondsSince(start);
    EXPECT_TRUE(closed);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 1.6);
    EXPECT_EQ(controller.waitForLog("The login exchange was not completed in time."), 1u);
}

TEST_F(ConsoleGuardTest, FailedLoginsAreAnsweredLaterAndLaterButTheRightPasswordAtOnce)
{
    storePassword("secret");
    start(true);
    std::vector<double> took;
    for (int i = 0; i < 4; ++i) took.push_back(failedLoginSeconds());
    // 100, 200, 400 and 800 ms.
    const double expected[] = {0.1, 0.2, 0.4, 0.8};
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(took[i], expected[i] - 0.02) << "failure " << i;
        EXPECT_LT(took[i], expected[i] + 0.5) << "failure " << i;
    }
    const auto start = Clock::now();
    auto console = admin("secret");
    ASSERT_NE(console, nullptr);
    EXPECT_LT(secondsSince(start), 0.5);
    // The burst is logged once when it starts and once with its count.
    EXPECT_EQ(controller.countContaining("Login failure from 127.0.0.1:"), 1u);
    acceptor->shutdown();
    EXPECT_EQ(controller.countContaining("Login failures from 127.0.0.1: 4 within "), 1u);
}

TEST_F(ConsoleGuardTest, LoggedInBoundRefusesWithAClearMessage)
{
    set("rconsole.max_sessions", "2");
    start(true);
    auto first = admin(" ");
    auto second = admin(" ");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::string refusal =
        "code=nak\nmessage=No more consoles can log in: 2 are logged in, the most allowed. Try again later.\n\n";
    CRawConsole third;
    ASSERT_TRUE(third.connect(port));
    ASSERT_TRUE(third.login(" "));
    EXPECT_EQ(third.greeting(), refusal);
    EXPECT_TRUE(third.waitClosed());
    EXPECT_EQ(controller.waitForLog("Console login from 127.0.0.1:"), 1u);
    // The console program reports the refusal as its reason.
    CRConsoleClient client(5);
    client.connect("127.0.0.1", port);
    EXPECT_EQ(test_support::thrown([&] { client.login(" ", true); }).whyMsg().formatted(),
              "No more consoles can log in: 2 are logged in, the most allowed. Try again later.");
    // A wrong password learns nothing about the room: it just closes.
    EXPECT_GT(failedLoginSeconds(), 0.05);
    // Room again once one leaves.
    first->send("quit\n\n");
    EXPECT_TRUE(first->waitClosed());
    std::unique_ptr<CRawConsole> next;
    for (int i = 0; i < 50 && !next; ++i) {
        next = admin(" ");
        if (!next) std::this_thread::sleep_for(20ms);
    }
    EXPECT_NE(next, nullptr);
}

} // namespace
