#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "ace_ext/general_reactor_types.h"
#include "extended/shutdown_notifier.h"
#include "extended/task_registry.h"
#include "support/thrown.h"
#include "test_controller.h"

namespace {

using test_support::failureOf;
using test_support::thrown;

TEST(TaskRegistryTest, RegistersEachThreadOnce)
{
    osk::CTaskRegistry registry;
    const std::string self = std::to_string(static_cast<uint64_t>(pthread_self()));
    EXPECT_EQ("unregistered-task", registry.find(pthread_self()));

    registry.registerTask("alpha");
    EXPECT_EQ("alpha", registry.find(pthread_self()));
    EXPECT_EQ("Failed to register thread " + self + " with name beta in the task registry. / Task already registered.",
              failureOf([&] { registry.registerTask("beta"); }));
    EXPECT_EQ("alpha", registry.find(pthread_self()));

    // Another thread sees this thread's name and registers under its own id.
    std::string seen;
    std::thread other([&] {
        seen = registry.find(pthread_self());
        registry.registerTask("gamma");
    });
    other.join();
    EXPECT_EQ("unregistered-task", seen);
    EXPECT_EQ(2u, registry.size());

    registry.deregisterTask();
    EXPECT_EQ("unregistered-task", registry.find(pthread_self()));
    EXPECT_EQ("Failed to de-register thread " + self + " from the task registry. / Task not registered.",
              failureOf([&] { registry.deregisterTask(); }));
}

// Raises the signals at the process with the notifier registered on reactor.
void checkSignals(osk::CShutdownNotifier& notifier, ACE_Reactor& reactor)
{
    notifier.registerHandlers();
    EXPECT_TRUE(notifier.registered());

    raise(SIGUSR1);
    raise(SIGHUP);
    EXPECT_FALSE(notifier.set());
    EXPECT_EQ(0, notifier.handle_exception(ACE_INVALID_HANDLE));

    raise(SIGINT);
    EXPECT_TRUE(notifier.set());
    EXPECT_EQ(-1, notifier.handle_exception(ACE_INVALID_HANDLE));
    // The reactor was woken: a turn returns at once.
    ACE_Time_Value wait(5);
    EXPECT_GT(reactor.handle_events(&wait), 0);
    EXPECT_GT(wait, ACE_Time_Value(4));

    notifier.set(false);
    EXPECT_FALSE(notifier.set());
    EXPECT_EQ(0, notifier.handle_exception(ACE_INVALID_HANDLE));
    raise(SIGTERM);
    EXPECT_TRUE(notifier.set());

    notifier.removeHandlers();
    EXPECT_FALSE(notifier.registered());
    notifier.removeHandlers();
}

TEST(ShutdownNotifierTest, InterruptStartsShutdownButUserSignalDoesNot)
{
    zelvo_test::CTestController controller;
    checkSignals(controller.shutdownNotifier(), controller.reactor());
}

TEST(ShutdownNotifierTest, WorksOnThePolicyReactor)
{
    ACE_Reactor reactor(new osk::CMTReactor, true);
    osk::CShutdownNotifier notifier(&reactor);
    checkSignals(notifier, reactor);
}

TEST(ShutdownNotifierTest, RegisteringWithoutReactorThrows)
{
    osk::CShutdownNotifier notifier(nullptr);
    EXPECT_EQ("Failed to register for SIGTERM.", thrown([&] { notifier.registerSIGTERM(); }).whatMsg().formatted());
    EXPECT_FALSE(notifier.registered());
}

} // namespace
