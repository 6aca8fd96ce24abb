// Framework objects as the console's memory tracking sees them: commands,
// log commands and log targets are listed by type while they live and leave
// the register when their last owner lets go, on whichever thread that is.
#include <gtest/gtest.h>
#include <pthread.h>

#include "extended/async_log.h"
#include "extended/cmd_log_msg.h"
#include "extended/cmd_null.h"
#include "extended/command_queue_task.h"
#include "extended/config.h"
#include "extended/null_target.h"
#include "extended/std_out_target.h"
#include "standard/tracked_factory.h"
#include "support/tracked_counts.h"
#include "test_commands.h"
#include "test_controller.h"

namespace {

using namespace test_support;
using zelvo_test::CFnCommand;
using QueuedCommand = osk::CGeneralPtr<osk::CAsyncCommand>;

class TrackedObjectsTest : public ::testing::Test {
protected:
    void startLog(bool synchronous)
    {
        controller.config(osk::CConfigPtr(osk::CTrackedFactory::create<osk::CConfig>("1", "1", "")));
        controller.config()->set_string("system.log.targets", "null");
        controller.config()->set_string("system.log.synchronous", synchronous ? "true" : "false");
        controller.startLog();
        controller.log()->waitUntilWritten();
    }

    // Declared first so it ends last: the controller stops its log task, and
    // the task releases what it still holds, while tracking is on.
    CTrackingOn tracking;
    zelvo_test::CTestController controller;
};

TEST_F(TrackedObjectsTest, LogTargetsAreListedUntilTheirLastOwnerGoes)
{
    {
        const osk::CLogTLS::target_ptr_t null = osk::CLogTLS::createTarget("null");
        const osk::CLogTLS::target_ptr_t out = osk::CLogTLS::createTarget("stdout");
        EXPECT_EQ(1u, liveTracked<osk::CNullTarget>());
        EXPECT_EQ(1u, liveTracked<osk::CStdOutTarget>());
        const auto allocated = CMemTrack::allocated();
        ASSERT_EQ(1u, allocated.count(dynamic_cast<const void*>(null.get())));
        const CAllocDetail& entry = allocated.at(dynamic_cast<const void*>(null.get()));
        EXPECT_EQ(trackedName<osk::CNullTarget>(), entry.typeName());
        EXPECT_EQ(static_cast<uint64_t>(pthread_self()), entry.source());
    }
    EXPECT_EQ(0u, liveTracked<osk::CNullTarget>());
    EXPECT_EQ(0u, liveTracked<osk::CStdOutTarget>());
    EXPECT_EQ(0u, allocatedEntries<osk::CNullTarget>() + allocatedEntries<osk::CStdOutTarget>());
    EXPECT_TRUE(CMemTrack::untracked().empty());
}

// Posted by the caller, run and released by the log task.
TEST_F(TrackedObjectsTest, AsynchronousLogCommandsLeaveTheRegisterOnceTheLogTaskRanThem)
{
    startLog(false);
    const uint64_t before = totalTracked<osk::CCmdLogMsg>();
    for (int i = 0; i < 3; ++i) controller.log()->syslog(osk::CException::info, osk::CMessage("Tracked entry."));
    controller.log()->waitUntilWritten();
    EXPECT_EQ(before + 3, totalTracked<osk::CCmdLogMsg>());
    EXPECT_EQ(0u, liveTracked<osk::CCmdLogMsg>());
    EXPECT_EQ(0u, untrackedEntries<osk::CCmdLogMsg>());
    EXPECT_LT(0u, totalTracked<osk::CCmdNull>());
}

// A synchronous entry carries a copy of the caller's result; both go.
TEST_F(TrackedObjectsTest, SynchronousLogCommandsTakeTheirResultCopyWithThem)
{
    startLog(true);
    const uint64_t before = totalTracked<osk::CAsyncResult<bool>>();
    controller.log()->syslog(osk::CException::info, osk::CMessage("Tracked entry."));
    // The caller is released before the log task lets go of the command;
    // the next command runs only after that.
    controller.log()->waitUntilWritten();
    EXPECT_EQ(before + 1, totalTracked<osk::CAsyncResult<bool>>());
    EXPECT_EQ(0u, liveTracked<osk::CAsyncResult<bool>>());
    EXPECT_EQ(0u, liveTracked<osk::CCmdLogMsg>());
}

TEST_F(TrackedObjectsTest, QueuedCommandsAndTheirQueueEntriesLeaveAfterExecution)
{
    osk::CCommandQueueTask<> task(&controller, "tracked-task", 1);
    ASSERT_EQ(0, task.run());
    int runs = 0;
    osk::CAsyncResult<int> result(&runs);
    {
        const osk::CAsyncCommandPtr command(osk::CTrackedFactory::create<CFnCommand>("tracked", result));
        EXPECT_EQ(1u, liveTracked<CFnCommand>());
        const uint64_t queued = totalTracked<QueuedCommand>();
        task.sendCommand(command);
        result.wait();
        EXPECT_EQ(queued + 1, totalTracked<QueuedCommand>());
    }
    task.shutdown();
    EXPECT_EQ(1, runs);
    EXPECT_EQ(0u, liveTracked<CFnCommand>());
    EXPECT_EQ(0u, liveTracked<QueuedCommand>());
    EXPECT_EQ(0u, untrackedEntries<CFnCommand>() + untrackedEntries<QueuedCommand>());
}

} // namespace
