#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "extended/command_queue_task.h"
#include "extended/ext_async_result.h"
#include "standard/mr_event.h"
#include "test_commands.h"
#include "test_controller.h"

namespace {

using zelvo_test::CFnCommand;
using zelvo_test::CTestController;
using Task = osk::CCommandQueueTask<>;

// Blocks the thread that executes it until released.
osk::CAsyncCommandPtr blocker(const osk::CAsyncResult<int>& result, osk::CMREvent& started, osk::CMREvent& release)
{
    return osk::CAsyncCommandPtr(new CFnCommand("blocker", result, [&](unsigned long) {
        started.signal();
        release.wait();
    }));
}

TEST(CommandQueueTest, FullQueueNamesCommandAndTaskAndRestoresTheReference)
{
    CTestController controller;
    Task task(&controller, "slow", 1);

    int probeRuns = 0;
    osk::CAsyncResult<int> probeResult(&probeRuns);
    osk::CAsyncCommandPtr probe(new CFnCommand("probe", probeResult));
    // Before run() there is no channel: the post fails the same way.
    EXPECT_THROW(task.sendCommand(probe), osk::CExQueueFull);
    EXPECT_EQ(1, probe.useCount());

    ASSERT_EQ(0, task.run());
    int blockRuns = 0;
    osk::CMREvent started, release;
    osk::CAsyncResult<int> blockResult(&blockRuns);
    task.sendCommand(blocker(blockResult, started, release));
    started.wait();

    std::vector<std::unique_ptr<int>> counts;
    std::vector<osk::CAsyncResult<int>> results;
    bool full = false;
    for (int i = 0; i < 100000 && !full; ++i) {
        counts.emplace_back(new int(0));
        osk::CAsyncResult<int> result(counts.back().get());
        try {
            task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("filler", result)));
            results.push_back(result);
        } catch (const osk::CExQueueFull& e) {
            full = true;
        }
    }
    ASSERT_TRUE(full) << "the channel never filled";
    ASSERT_GT(results.size(), 0u);

    const long before = probe.useCount();
    try {
        task.sendCommand(probe);
        FAIL() << "post to a full queue succeeded";
    } catch (const osk::CExQueueFull& e) {
        EXPECT_EQ("Failed to send command 'probe' to task 'slow'.", e.whatMsg().formatted());
        EXPECT_EQ("Command queue overflow.", e.whyMsg().formatted());
        EXPECT_EQ("CCommandQueueTask::sendCommand", e.context());
        EXPECT_EQ(osk::CException::error, e.severity());
    }
    EXPECT_EQ(before, probe.useCount());

    release.signal();
    blockResult.wait();
    for (auto& result : results) result.wait();
    for (auto& result : results) EXPECT_EQ(1, *result);
    EXPECT_EQ(0, probeRuns);
    task.shutdown();
}

// A command whose execute() throws the framework exception.
class CThrowingCommand : public osk::CAsyncCommand {
public:
    explicit CThrowingCommand(const osk::CExtAsyncResult<int>& result)
        : osk::CAsyncCommand("thrower", ""), _result(result)
    {
    }
    void execute(unsigned long) override
    {
        throw OSK_EXCEPTION(osk::CMessage("Cannot do %1.").pushs("that"), osk::CMessage("Refused."),
                            "CThrowingCommand::execute", "extended");
    }
    void signalResult() override { _result.signal(); }

private:
    osk::CExtAsyncResult<int> _result;
};

TEST(CommandQueueTest, ThrowingCommandIsLoggedAndStillReleasesItsWaiter)
{
    CTestController controller;
    Task task(&controller, "thrower-task", 1);
    ASSERT_EQ(0, task.run());
    int value = 0;
    osk::CExtAsyncResult<int> result(&controller, &value);
    osk::CAsyncCommandPtr command(new CThrowingCommand(result));
    task.sendCommand(command);
    result.wait();
    EXPECT_FALSE(result.success());
    // The task goes on taking commands after the failure.
    int runs = 0;
    osk::CAsyncResult<int> next(&runs);
    task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("after", next)));
    next.wait();
    EXPECT_EQ(1, runs);
    task.shutdown();
    EXPECT_EQ(1u, controller.countContaining("error: Cannot do that. (Refused.)"));
    EXPECT_EQ(1, command.useCount());
}

// A task that lets targeted commands reach their thread: a thread that meets
// a command meant for another thread leaves it in the channel and, once out
// of the reactor, waits as an observer until the target has executed it.
class CTargetingTask : public Task {
public:
    CTargetingTask(CTestController* controller) : Task(controller, "targets", 2) {}
    pthread_t threadId(size_t index) const { return _ids[index].load(); }

    bool deferredDispatch(osk::CICommandQueueTaskHandler*, void* item) override
    {
        auto* command = static_cast<osk::CAsyncCommandPtr*>(item);
        if ((*command)->targetIsMe() || (*command)->ttl() < 1) return false;
        _observing() = *command;
        return true;
    }

protected:
    int _init() override
    {
        _ids[myThreadIndex()].store(pthread_self());
        return 0;
    }
    // One reactor turn at a time, observing between turns, outside the
    // reactor, so the target thread can take the command meanwhile.
    void _pumpReactor(ACE_Time_Value* timeout) override
    {
        while (!stopping()) {
            reactor()->owner(ACE_Thread::self());
            reactor()->handle_events(timeout);
            if (osk::CAsyncCommandPtr observed = _observing()) {
                _observing() = osk::CAsyncCommandPtr();
                observed->blockObserver();
            }
        }
    }

private:
    // One pending observation per thread.
    static osk::CAsyncCommandPtr& _observing()
    {
        thread_local osk::CAsyncCommandPtr observed;
        return observed;
    }
    std::atomic<pthread_t> _ids[2] = {};
};

TEST(CommandQueueTest, TargetedCommandsRunOnTheirTargetThread)
{
    CTestController controller;
    CTargetingTask task(&controller);
    ASSERT_EQ(0, task.run());
    // Wait for the second thread's start-up too.
    for (int i = 0; i < 2000 && task.threadId(1) == 0; ++i) usleep(1000);
    ASSERT_NE(0u, task.threadId(0));
    ASSERT_NE(0u, task.threadId(1));

    constexpr int kCommands = 200;
    std::vector<int> runs(kCommands, 0);
    std::vector<pthread_t> ranOn(kCommands, 0);
    std::vector<osk::CAsyncResult<int>> results;
    for (int i = 0; i < kCommands; ++i) {
        osk::CAsyncResult<int> result(&runs[i]);
        osk::CAsyncCommandPtr command(new CFnCommand("targeted", result, [&ranOn, i](unsigned long) {
            ranOn[i] = pthread_self();
        }));
        command->targetTo(static_cast<uint64_t>(task.threadId(i % 2)), 255);
        task.sendCommand(command);
        results.push_back(result);
    }
    for (auto& result : results) result.wait();
    for (int i = 0; i < kCommands; ++i) {
        EXPECT_EQ(1, runs[i]) << i;
        EXPECT_EQ(task.threadId(i % 2), ranOn[i]) << i;
    }
    task.shutdown();
    EXPECT_EQ(0u, controller.countContaining("discarding"));
}

TEST(CommandQueueTest, TargetedCommandForAForeignThreadIsDiscardedByDefault)
{
    CTestController controller;
    Task task(&controller, "plain", 1);
    ASSERT_EQ(0, task.run());
    int runs = 0;
    osk::CAsyncResult<int> result(&runs);
    osk::CAsyncCommandPtr command(new CFnCommand("elsewhere", result));
    command->targetTo(static_cast<uint64_t>(pthread_self()), 255);
    task.sendCommand(command);
    // One thread reads in order: once the probe ran, the targeted one is gone.
    int probeRuns = 0;
    osk::CAsyncResult<int> probe(&probeRuns);
    task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("probe", probe)));
    probe.wait();
    EXPECT_EQ(0, runs);
    EXPECT_FALSE(result.signalled());
    EXPECT_EQ(1, command.useCount());
    EXPECT_EQ(1u, controller.countContaining(
                      "error: Task 'plain' is discarding targeted command 'elsewhere' because synchronous execution "
                      "would cause a deadlock. Please contact technical support."));
    task.shutdown();
}

TEST(CommandQueueTest, QueuedCommandsAreReleasedUnexecutedWhenTheTaskIsDestroyed)
{
    CTestController controller;
    std::vector<int> runs(5, 0);
    std::vector<osk::CAsyncCommandPtr> commands;
    {
        Task task(&controller, "closing", 1);
        ASSERT_EQ(0, task.run());
        int blockRuns = 0;
        osk::CMREvent started, release;
        osk::CAsyncResult<int> blockResult(&blockRuns);
        task.sendCommand(blocker(blockResult, started, release));
        started.wait();
        for (int i = 0; i < 5; ++i) {
            commands.emplace_back(new CFnCommand("queued", osk::CAsyncResult<int>(&runs[i])));
            task.sendCommand(commands.back());
        }
        for (const auto& command : commands) EXPECT_EQ(2, command.useCount());
        std::thread stopper([&] { task.shutdown(); });
        while (!task.stopping()) usleep(100);
        release.signal();
        stopper.join();
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(0, runs[i]);
        EXPECT_EQ(1, commands[i].useCount());
    }
}

TEST(CommandQueueTest, NullCommandPointerIsExpiredWithoutHarm)
{
    CTestController controller;
    Task task(&controller, "nulls", 1);
    ASSERT_EQ(0, task.run());
    task.sendCommand(osk::CAsyncCommandPtr());
    int runs = 0;
    osk::CAsyncResult<int> probe(&runs);
    task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("probe", probe)));
    probe.wait();
    task.shutdown();
    EXPECT_EQ(1u, controller.countContaining(
                      "Task 'nulls' is expiring an unexecuted command in transit. Please contact technical support."));
}

// Four threads post 10,000 commands each to one task with two threads; every
// command runs exactly once and every waiter returns.
TEST(CommandQueueStressTest, ManyPostersOneTwoThreadTask)
{
    CTestController controller;
    Task task(&controller, "stress", 2);
    ASSERT_EQ(0, task.run());
    constexpr int kPosters = 4;
    constexpr int kPerPoster = 10000;
    std::vector<std::vector<int>> runs(kPosters, std::vector<int>(kPerPoster, 0));
    std::atomic<long> executed{0};
    std::atomic<long> overflows{0};
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {
            std::vector<osk::CAsyncResult<int>> results;
            results.reserve(kPerPoster);
            for (int i = 0; i < kPerPoster; ++i) {
                osk::CAsyncResult<int> result(&runs[p][i]);
                osk::CAsyncCommandPtr command(
                    new CFnCommand("stress", result, [&executed](unsigned long) { ++executed; }));
                for (;;) {
                    try {
                        task.sendCommand(command);
                        break;
                    } catch (const osk::CExQueueFull&) {
                        ++overflows;
                        usleep(5);
                    }
                }
                results.push_back(result);
            }
            for (auto& result : results) result.wait();
        });
    }
    for (auto& poster : posters) poster.join();
    task.shutdown();
    EXPECT_EQ(kPosters * kPerPoster, executed.load());
    for (int p = 0; p < kPosters; ++p)
        for (int i = 0; i < kPerPoster; ++i) ASSERT_EQ(1, runs[p][i]) << p << "/" << i;
    EXPECT_TRUE(controller.entries().empty());
}

} // namespace
