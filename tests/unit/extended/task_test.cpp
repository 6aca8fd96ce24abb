#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "extended/cmd_null.h"
#include "extended/command_queue_task.h"
#include "support/thrown.h"
#include "test_commands.h"
#include "test_controller.h"

namespace {

using test_support::failureOf;
using test_support::thrown;

using zelvo_test::CFnCommand;
using zelvo_test::CTestController;
using Task = osk::CCommandQueueTask<>;

// A task whose every thread's start-up returns a chosen code.
class CFailingTask : public Task {
public:
    CFailingTask(CTestController* controller, int code) : Task(controller, "failing", 3), _code(code) {}
    std::atomic<int> inits{0};

protected:
    int _init() override
    {
        ++inits;
        return _code;
    }

private:
    int _code;
};

TEST(TaskTest, RunTwiceThrowsAndNullCommandProbesTheQueue)
{
    CTestController controller;
    Task task(&controller, "probe", 2);
    ASSERT_EQ(0, task.run());
    const osk::CException e = thrown([&] { task.run(); });
    EXPECT_EQ("Failed to start task.", e.whatMsg().formatted());
    EXPECT_EQ("Task is already running.", e.whyMsg().formatted());
    EXPECT_EQ("CTask::run", e.context());
    EXPECT_EQ(osk::CException::error, e.severity());
    bool alive = false;
    osk::CAsyncResult<bool> result(&alive);
    task.sendCommand(osk::CAsyncCommandPtr(new osk::CCmdNull(result)));
    result.wait();
    EXPECT_TRUE(alive);
    EXPECT_EQ(0, task.shutdown());
    EXPECT_EQ(0u, task.thr_count());
    EXPECT_EQ(0u, controller.taskRegistry()->size());
}

TEST(TaskTest, FailedInitOfFirstThreadIsReturnedAfterThreadsEnd)
{
    CTestController controller;
    CFailingTask task(&controller, 3);
    EXPECT_EQ(3, task.run());
    EXPECT_EQ(3, task.retcode());
    // Joined inside run(): no thread is left and only the first one ran _init().
    EXPECT_EQ(0u, task.thr_count());
    EXPECT_EQ(1, task.inits.load());
    EXPECT_FALSE(task.running());
    EXPECT_EQ(0u, controller.taskRegistry()->size());
    EXPECT_EQ(3, task.shutdown());
}

TEST(TaskTest, ThreadsAreIndexedAndRegisteredUnderTheTaskName)
{
    CTestController controller;
    Task task(&controller, "indexer", 2);
    ASSERT_EQ(0, task.run());
    // run() returns once the first thread has started; the second follows.
    for (int i = 0; i < 2000 && controller.taskRegistry()->size() < 2; ++i) usleep(1000);
    EXPECT_EQ(2u, controller.taskRegistry()->size());

    std::string registeredAs;
    size_t index = 99;
    int runs = 0;
    osk::CAsyncResult<int> result(&runs);
    task.sendCommand(osk::CAsyncCommandPtr(new CFnCommand("look", result, [&](unsigned long threadIndex) {
        registeredAs = controller.taskRegistry()->find(pthread_self());
        index = task.myThreadIndex();
        EXPECT_EQ(index, threadIndex);
    })));
    result.wait();
    EXPECT_EQ("indexer", registeredAs);
    EXPECT_LT(index, 2u);

    // The calling thread is none of the task's.
    EXPECT_EQ("Failed to find index for thread " + std::to_string(static_cast<uint64_t>(pthread_self())) +
                  " in task 'indexer'. / No such index.",
              failureOf([&] { task.myThreadIndex(); }));
    task.shutdown();
    EXPECT_EQ(0u, controller.taskRegistry()->size());
}

TEST(TaskTest, RunsOnAnotherReactorImplementation)
{
    CTestController controller;
    osk::CCommandQueueTask<ACE_Select_Reactor> task(&controller, "select", 1);
    ASSERT_EQ(0, task.run());
    bool alive = false;
    osk::CAsyncResult<bool> result(&alive);
    task.sendCommand(osk::CAsyncCommandPtr(new osk::CCmdNull(result)));
    result.wait();
    EXPECT_TRUE(alive);
    EXPECT_EQ(0, task.shutdown());
}

TEST(TaskTest, TaskWithoutThreadsCannotStart)
{
    CTestController controller;
    Task task(&controller, "empty", 0);
    EXPECT_THROW(task.run(), osk::CException);
    EXPECT_EQ(0, task.shutdown());
}

TEST(TaskTest, TaskNeedsAController)
{
    EXPECT_EQ("Failed to create task 'orphan'.", thrown([] { Task task(nullptr, "orphan", 1); }).whatMsg().formatted());
}

} // namespace
