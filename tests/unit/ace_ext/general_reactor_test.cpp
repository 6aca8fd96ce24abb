#include "ace_ext/general_reactor_types.h"

#include <ace/INET_Addr.h>
#include <ace/Reactor.h>
#include <ace/SOCK_Dgram.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/thrown.h"

namespace {

using osk::CMTReactor;
using osk::CSTReactor;

// Records every call a reactor makes; each callback returns what the test
// asks for.
class CRecorder : public ACE_Event_Handler {
public:
    explicit CRecorder(ACE_HANDLE handle = ACE_INVALID_HANDLE) : _handle(handle) {}
    ACE_HANDLE get_handle() const override { return _handle; }

    int handle_input(ACE_HANDLE) override
    {
        record("in");
        if (drain) {
            char buffer[256];
            (void)::recv(_handle, buffer, sizeof(buffer), MSG_DONTWAIT);
        }
        return inputResult;
    }
    int handle_output(ACE_HANDLE) override
    {
        record("out");
        return outputResult;
    }
    int handle_timeout(const ACE_Time_Value&, const void* arg) override
    {
        record("timer" + std::to_string(reinterpret_cast<intptr_t>(arg)));
        return 0;
    }
    int handle_close(ACE_HANDLE, ACE_Reactor_Mask mask) override
    {
        record("close" + std::to_string(mask));
        return 0;
    }

    void record(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _events.push_back(event);
        _changed.notify_all();
    }
    std::vector<std::string> events()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _events;
    }
    size_t count(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        size_t n = 0;
        for (const auto& e : _events) n += e == event;
        return n;
    }
    bool waitFor(const std::string& event, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        return _changed.wait_for(lock, limit, [&] {
            for (const auto& e : _events)
                if (e == event) return true;
            return false;
        });
    }

    int inputResult = 0;
    int outputResult = 0;
    bool drain = true;

private:
    ACE_HANDLE _handle;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::vector<std::string> _events;
};

// A connected local stream pair, closed at scope end.
struct CSocketPair {
    CSocketPair() { EXPECT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds)); }
    ~CSocketPair()
    {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void sendToFirst(const char* text) { ASSERT_GT(::send(fds[1], text, strlen(text), 0), 0); }
    int fds[2] = {-1, -1};
};

template <class Reactor>
std::unique_ptr<ACE_Reactor> makeFront(int disableNotify = 0)
{
    return std::make_unique<ACE_Reactor>(new Reactor(FD_SETSIZE, false, nullptr, nullptr, disableNotify), true);
}

// Runs turns until pred() holds or about two seconds pass.
template <class Pred>
bool runUntil(ACE_Reactor& reactor, Pred pred)
{
    for (int i = 0; i < 200 && !pred(); ++i) {
        ACE_Time_Value wait(0, 10000);
        reactor.handle_events(wait);
    }
    return pred();
}

template <class Reactor>
class GeneralReactorTest : public ::testing::Test {};
using ReactorKinds = ::testing::Types<CSTReactor, CMTReactor>;
struct CReactorKindName {
    template <class T>
    static std::string GetName(int)
    {
        return std::is_same<T, CSTReactor>::value ? "SingleThreaded" : "MultiThreaded";
    }
};
TYPED_TEST_SUITE(GeneralReactorTest, ReactorKinds, CReactorKindName);

TYPED_TEST(GeneralReactorTest, TurnWithoutDescriptorsFailsAtOnce)
{
    auto reactor = makeFront<TypeParam>(1);
    ACE_Time_Value wait(5);
    EXPECT_EQ(-1, reactor->handle_events(wait));
    // It did not sleep: nearly all of the five seconds are left.
    EXPECT_GT(wait.sec(), 3);

    // A closed reactor refuses to run as well.
    auto closed = makeFront<TypeParam>();
    EXPECT_EQ(0, closed->close());
    ACE_Time_Value wait2(5);
    EXPECT_EQ(-1, closed->handle_events(wait2));
    EXPECT_GT(wait2.sec(), 3);
}

TYPED_TEST(GeneralReactorTest, WriteIsDispatchedBeforeRead)
{
    auto reactor = makeFront<TypeParam>();
    CSocketPair pair;
    pair.sendToFirst("ready");
    CRecorder handler(pair.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::WRITE_MASK));
    ACE_Time_Value wait(1);
    EXPECT_EQ(2, reactor->handle_events(wait));
    EXPECT_EQ((std::vector<std::string>{"out", "in"}), handler.events());
    EXPECT_EQ(0, reactor->remove_handler(&handler, ACE_Event_Handler::ALL_EVENTS_MASK | ACE_Event_Handler::DONT_CALL));
}

TYPED_TEST(GeneralReactorTest, NegativeReturnRemovesThatMaskAndCallsHandleClose)
{
    auto reactor = makeFront<TypeParam>();
    CSocketPair pair;
    CRecorder handler(pair.fds[0]);
    handler.inputResult = -1;
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));
    pair.sendToFirst("x");
    ASSERT_TRUE(runUntil(*reactor, [&] { return handler.count("in") == 1; }));
    EXPECT_EQ((std::vector<std::string>{"in", "close" + std::to_string(ACE_Event_Handler::READ_MASK)}),
              handler.events());
    EXPECT_EQ(nullptr, reactor->find_handler(pair.fds[0]));

    // Data that arrives later reaches nobody.
    pair.sendToFirst("y");
    ACE_Time_Value wait(0, 50000);
    reactor->handle_events(wait);
    EXPECT_EQ(1u, handler.count("in"));

    // A handler registered for reading and writing keeps reading when only
    // its output side fails.
    CSocketPair second;
    CRecorder both(second.fds[0]);
    both.outputResult = -1;
    ASSERT_EQ(0, reactor->register_handler(&both, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::WRITE_MASK));
    ASSERT_TRUE(runUntil(*reactor, [&] { return both.count("out") == 1; }));
    EXPECT_EQ(1u, both.count("close" + std::to_string(ACE_Event_Handler::WRITE_MASK)));
    EXPECT_EQ(&both, reactor->find_handler(second.fds[0]));
    second.sendToFirst("z");
    EXPECT_TRUE(runUntil(*reactor, [&] { return both.count("in") == 1; }));
    EXPECT_EQ(1u, both.count("out"));
    reactor->close();
}

TYPED_TEST(GeneralReactorTest, SuspendedHandlerWaitsUntilResumed)
{
    auto reactor = makeFront<TypeParam>();
    CSocketPair pair;
    CRecorder handler(pair.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));
    ASSERT_EQ(0, reactor->suspend_handler(&handler));
    pair.sendToFirst("x");
    ACE_Time_Value wait(0, 50000);
    EXPECT_EQ(0, reactor->handle_events(wait));
    EXPECT_TRUE(handler.events().empty());

    ASSERT_EQ(0, reactor->resume_handler(&handler));
    EXPECT_TRUE(runUntil(*reactor, [&] { return handler.count("in") == 1; }));

    // Suspending everything keeps the notification channel awake.
    ASSERT_EQ(0, reactor->suspend_handlers());
    pair.sendToFirst("y");
    reactor->notify();
    ACE_Time_Value wait2(1);
    EXPECT_EQ(1, reactor->handle_events(wait2));
    EXPECT_EQ(1u, handler.count("in"));
    ASSERT_EQ(0, reactor->resume_handlers());
    EXPECT_TRUE(runUntil(*reactor, [&] { return handler.count("in") == 2; }));

    EXPECT_EQ(-1, reactor->suspend_handler(pair.fds[1])); // never registered
    reactor->close();
}

TYPED_TEST(GeneralReactorTest, TimersFireInOrderAndCanBeCancelled)
{
    auto reactor = makeFront<TypeParam>();
    CRecorder handler;
    CRecorder other;
    reactor->schedule_timer(&handler, reinterpret_cast<const void*>(3), ACE_Time_Value(0, 60000));
    reactor->schedule_timer(&handler, reinterpret_cast<const void*>(1), ACE_Time_Value(0, 20000));
    const long cancelled = reactor->schedule_timer(&handler, reinterpret_cast<const void*>(9), ACE_Time_Value(0, 30000));
    reactor->schedule_timer(&handler, reinterpret_cast<const void*>(2), ACE_Time_Value(0, 40000));
    reactor->schedule_timer(&other, nullptr, ACE_Time_Value(0, 10000));
    reactor->schedule_timer(&other, nullptr, ACE_Time_Value(0, 20000));
    ASSERT_NE(-1, cancelled);
    EXPECT_EQ(1, reactor->cancel_timer(cancelled));
    EXPECT_EQ(0, reactor->cancel_timer(cancelled));
    EXPECT_EQ(2, reactor->cancel_timer(&other));

    ASSERT_TRUE(runUntil(*reactor, [&] { return handler.events().size() == 3; }));
    EXPECT_EQ((std::vector<std::string>{"timer1", "timer2", "timer3"}), handler.events());
    EXPECT_TRUE(other.events().empty());
    reactor->close();
}

TYPED_TEST(GeneralReactorTest, ResetIntervalStopsARepeatingTimer)
{
    auto reactor = makeFront<TypeParam>();
    CRecorder handler;
    const long id = reactor->schedule_timer(&handler, nullptr, ACE_Time_Value(0, 5000), ACE_Time_Value(0, 5000));
    ASSERT_TRUE(runUntil(*reactor, [&] { return handler.count("timer0") >= 2; }));
    ASSERT_EQ(0, reactor->reset_timer_interval(id, ACE_Time_Value::zero));
    const size_t fired = handler.count("timer0");
    // The expiry already queued still fires once; nothing after it.
    for (int i = 0; i < 10; ++i) {
        ACE_Time_Value wait(0, 10000);
        reactor->handle_events(wait);
    }
    EXPECT_LE(handler.count("timer0"), fired + 1);
    EXPECT_EQ(0, reactor->cancel_timer(id));
    reactor->close();
}

TYPED_TEST(GeneralReactorTest, NotifyWakesTheLoopAndOverflowLeavesItWorking)
{
    auto reactor = makeFront<TypeParam>();
    ACE_Time_Value wait(5);
    reactor->notify();
    EXPECT_EQ(1, reactor->handle_events(wait));
    EXPECT_GT(wait.sec(), 3);

    int sent = 0;
    try {
        for (; sent < 1000000; ++sent) reactor->notify();
        FAIL() << "the channel never filled";
    } catch (const osk::CExNotifyFull& e) {
        EXPECT_EQ("Failed to notify the target thread's reactor.", e.whatMsg().formatted());
        EXPECT_EQ("Notification pipe overflow.", e.whyMsg().formatted());
    }
    ASSERT_GT(sent, 0);
    // Drain every wake-up, then the channel and the handlers work again.
    int drained = 0;
    for (ACE_Time_Value none = ACE_Time_Value::zero; reactor->handle_events(none) > 0; none = ACE_Time_Value::zero)
        ++drained;
    EXPECT_EQ(sent, drained);
    EXPECT_NO_THROW(reactor->notify());
    CSocketPair pair;
    CRecorder handler(pair.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));
    pair.sendToFirst("x");
    EXPECT_TRUE(runUntil(*reactor, [&] { return handler.count("in") == 1; }));
    reactor->close();
}

TYPED_TEST(GeneralReactorTest, NotifyingAHandlerIsNotSupported)
{
    auto reactor = makeFront<TypeParam>();
    CRecorder handler;
    EXPECT_EQ("Failed to notify reactor handler. / Operation not supported.",
              test_support::failureOf([&] { reactor->notify(&handler, ACE_Event_Handler::READ_MASK); }));
}

TYPED_TEST(GeneralReactorTest, RegistrationRulesAndMasks)
{
    auto reactor = makeFront<TypeParam>();
    CSocketPair pair;
    CRecorder handler(pair.fds[0]);
    CRecorder intruder(pair.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));
    EXPECT_EQ(-1, reactor->register_handler(&intruder, ACE_Event_Handler::READ_MASK));
    CRecorder invalid;
    EXPECT_EQ(-1, reactor->register_handler(&invalid, ACE_Event_Handler::READ_MASK));

    // Masks: add write, read it back, clear it again.
    // Mask operations answer the mask before the change.
    EXPECT_EQ(static_cast<int>(ACE_Event_Handler::READ_MASK),
              reactor->schedule_wakeup(&handler, ACE_Event_Handler::WRITE_MASK));
    EXPECT_EQ(static_cast<int>(ACE_Event_Handler::READ_MASK | ACE_Event_Handler::WRITE_MASK),
              reactor->mask_ops(&handler, 0, ACE_Reactor::GET_MASK));
    ACE_Event_Handler* found = nullptr;
    EXPECT_EQ(0, reactor->handler(pair.fds[0], ACE_Event_Handler::WRITE_MASK, &found));
    EXPECT_EQ(&handler, found);
    ASSERT_TRUE(runUntil(*reactor, [&] { return handler.count("out") >= 1; }));
    EXPECT_EQ(static_cast<int>(ACE_Event_Handler::READ_MASK | ACE_Event_Handler::WRITE_MASK),
              reactor->cancel_wakeup(&handler, ACE_Event_Handler::WRITE_MASK));
    EXPECT_EQ(-1, reactor->handler(pair.fds[0], ACE_Event_Handler::WRITE_MASK));
    const size_t outputs = handler.count("out");
    ACE_Time_Value wait(0, 30000);
    EXPECT_EQ(0, reactor->handle_events(wait));
    EXPECT_EQ(outputs, handler.count("out"));

    // Removing the last mask forgets the handle; close() tells the rest.
    CSocketPair other;
    CRecorder remaining(other.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&remaining, ACE_Event_Handler::READ_MASK));
    EXPECT_EQ(0, reactor->remove_handler(&handler, ACE_Event_Handler::READ_MASK));
    EXPECT_EQ(1u, handler.count("close" + std::to_string(ACE_Event_Handler::READ_MASK)));
    EXPECT_EQ(-1, reactor->remove_handler(&handler, ACE_Event_Handler::READ_MASK));
    EXPECT_EQ(0, reactor->close());
    EXPECT_EQ(1u, remaining.count("close" + std::to_string(ACE_Event_Handler::ALL_EVENTS_MASK)));
    EXPECT_EQ(-1, reactor->register_handler(&remaining, ACE_Event_Handler::READ_MASK));
}

// Deletes itself when the reactor lets go of it, as many ACE handlers do.
class CSelfDeleting : public ACE_Event_Handler {
public:
    CSelfDeleting(ACE_HANDLE handle, int* closes) : _handle(handle), _closes(closes) {}
    ACE_HANDLE get_handle() const override { return _handle; }
    int handle_input(ACE_HANDLE) override { return -1; }
    int handle_close(ACE_HANDLE, ACE_Reactor_Mask) override
    {
        ++*_closes;
        delete this;
        return 0;
    }

private:
    ACE_HANDLE _handle;
    int* _closes;
};

// Removes another handler from inside its own callback.
class CRemover : public CRecorder {
public:
    CRemover(ACE_HANDLE handle, ACE_Event_Handler* victim) : CRecorder(handle), _victim(victim) {}
    int handle_output(ACE_HANDLE handle) override
    {
        reactor()->remove_handler(_victim, ACE_Event_Handler::ALL_EVENTS_MASK | ACE_Event_Handler::DONT_CALL);
        return CRecorder::handle_output(handle);
    }

private:
    ACE_Event_Handler* _victim;
};

TYPED_TEST(GeneralReactorTest, HandlersMayDeleteThemselvesOrRemoveOthersDuringATurn)
{
    auto reactor = makeFront<TypeParam>();
    CSocketPair pair;
    int closes = 0;
    ASSERT_EQ(0, reactor->register_handler(new CSelfDeleting(pair.fds[0], &closes), ACE_Event_Handler::READ_MASK));
    pair.sendToFirst("x");
    ASSERT_TRUE(runUntil(*reactor, [&] { return closes == 1; }));
    EXPECT_EQ(nullptr, reactor->find_handler(pair.fds[0]));

    // Both handles are ready in one turn; output runs first and removes the
    // reader, which must then not be called.
    CSocketPair readable;
    CSocketPair writable;
    readable.sendToFirst("y");
    CRecorder victim(readable.fds[0]);
    CRemover remover(writable.fds[0], &victim);
    ASSERT_EQ(0, reactor->register_handler(&victim, ACE_Event_Handler::READ_MASK));
    ASSERT_EQ(0, reactor->register_handler(&remover, ACE_Event_Handler::WRITE_MASK));
    ACE_Time_Value wait(1);
    EXPECT_EQ(1, reactor->handle_events(wait));
    EXPECT_EQ(1u, remover.count("out"));
    EXPECT_TRUE(victim.events().empty());
    reactor->close();
}

// A timer handler whose negative return ends its timers.
class CFailingTimer : public CRecorder {
public:
    int handle_timeout(const ACE_Time_Value& now, const void* arg) override
    {
        CRecorder::handle_timeout(now, arg);
        return -1;
    }
};

TYPED_TEST(GeneralReactorTest, NegativeTimeoutReturnCancelsTheTimer)
{
    auto reactor = makeFront<TypeParam>();
    CFailingTimer handler;
    reactor->schedule_timer(&handler, nullptr, ACE_Time_Value(0, 1000), ACE_Time_Value(0, 1000));
    ASSERT_TRUE(runUntil(*reactor, [&] { return handler.count("timer0") == 1; }));
    for (int i = 0; i < 5; ++i) {
        ACE_Time_Value wait(0, 5000);
        reactor->handle_events(wait);
    }
    EXPECT_EQ(1u, handler.count("timer0"));
    EXPECT_EQ(1u, handler.count("close" + std::to_string(ACE_Event_Handler::TIMER_MASK)));
}

// Answers each datagram it reads by remembering its text and sender.
class CDatagramHandler : public ACE_Event_Handler {
public:
    explicit CDatagramHandler(const ACE_INET_Addr& local) : _socket(local) {}
    ACE_HANDLE get_handle() const override { return _socket.get_handle(); }
    int handle_input(ACE_HANDLE) override
    {
        char buffer[512];
        ACE_INET_Addr from;
        const ssize_t got = _socket.recv(buffer, sizeof(buffer), from);
        if (got < 0) return -1;
        received.emplace_back(buffer, static_cast<size_t>(got));
        sender = from;
        return 0;
    }
    ACE_INET_Addr localAddr() const
    {
        ACE_INET_Addr addr;
        _socket.get_local_addr(addr);
        return addr;
    }
    std::vector<std::string> received;
    ACE_INET_Addr sender;

private:
    ACE_SOCK_Dgram _socket;
};

TYPED_TEST(GeneralReactorTest, UdpDatagramsOnIPv4AndIPv6)
{
    for (const char* host : {"127.0.0.1", "::1"}) {
        SCOPED_TRACE(host);
        auto reactor = makeFront<TypeParam>();
        ACE_INET_Addr local(static_cast<u_short>(0), host);
        CDatagramHandler handler(local);
        ASSERT_NE(ACE_INVALID_HANDLE, handler.get_handle());
        ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));

        ACE_INET_Addr clientAddr(static_cast<u_short>(0), host);
        ACE_SOCK_Dgram client(clientAddr);
        ASSERT_EQ(5, client.send("hello", 5, handler.localAddr()));
        ASSERT_EQ(3, client.send("bye", 3, handler.localAddr()));
        ASSERT_TRUE(runUntil(*reactor, [&] { return handler.received.size() == 2; }));
        EXPECT_EQ((std::vector<std::string>{"hello", "bye"}), handler.received);
        ACE_INET_Addr clientLocal;
        client.get_local_addr(clientLocal);
        EXPECT_EQ(clientLocal.get_port_number(), handler.sender.get_port_number());
        EXPECT_EQ(local.get_type(), handler.sender.get_type());
        client.close();
        reactor->remove_handler(&handler, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL);
    }
}

// Counts the signals the reactor's signal handler delivers.
class CSignalCounter : public ACE_Event_Handler {
public:
    int handle_signal(int, siginfo_t*, ucontext_t*) override
    {
        ++signals;
        return 0;
    }
    std::atomic<int> signals{0};
};

TYPED_TEST(GeneralReactorTest, SignalDuringTheWaitEndsTheTurnQuietly)
{
    auto reactor = makeFront<TypeParam>();
    CSignalCounter counter;
    ASSERT_EQ(0, reactor->register_handler(SIGUSR1, &counter));
    const pthread_t self = pthread_self();
    std::thread killer([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pthread_kill(self, SIGUSR1);
    });
    ACE_Time_Value wait(5);
    // The interrupted wait is not an error: the signal was handled, nothing
    // else is ready.
    EXPECT_EQ(0, reactor->handle_events(wait));
    killer.join();
    EXPECT_EQ(1, counter.signals.load());
    EXPECT_GT(wait.sec(), 3);
    EXPECT_EQ(0, reactor->remove_handler(SIGUSR1, nullptr));
}

TEST(GeneralMTReactorTest, AcceptsRegistrationsFromAnotherThreadWhileRunning)
{
    auto reactor = makeFront<CMTReactor>();
    std::atomic<bool> stop{false};
    std::atomic<int> turns{0};
    std::thread owner([&] {
        reactor->owner(ACE_Thread::self());
        while (!stop) {
            // A long wait: only a wake-up makes a new registration visible.
            ACE_Time_Value wait(30);
            reactor->handle_events(wait);
            ++turns;
        }
    });
    // Let the owner block in its wait first.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    CSocketPair pair;
    CRecorder handler(pair.fds[0]);
    ASSERT_EQ(0, reactor->register_handler(&handler, ACE_Event_Handler::READ_MASK));
    pair.sendToFirst("x");
    EXPECT_TRUE(handler.waitFor("in", std::chrono::seconds(5)));

    // Timers scheduled from here are picked up too.
    CRecorder timer;
    reactor->schedule_timer(&timer, reinterpret_cast<const void*>(7), ACE_Time_Value(0, 10000));
    EXPECT_TRUE(timer.waitFor("timer7", std::chrono::seconds(5)));

    // Removal from here takes effect under the owner's feet.
    ASSERT_EQ(0, reactor->remove_handler(&handler, ACE_Event_Handler::READ_MASK));
    EXPECT_TRUE(handler.waitFor("close1", std::chrono::seconds(1)));

    stop = true;
    reactor->notify();
    owner.join();
    EXPECT_GE(turns.load(), 3);
}

} // namespace
