#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "extended/ex_queue_full.h"
#include "extended/exception_facade.h"
#include "extended/ext_async_result.h"
#include "test_controller.h"

namespace {

osk::CException numbered(int n, uint32_t severity = osk::CException::error)
{
    return osk::CException(osk::CMessage("Step %1 failed.").push(n), osk::CMessage("Cause %1.").push(n), "T::f",
                           "extended", __FILE__, __LINE__, severity);
}

TEST(ExceptionFacadeTest, TwentySixthExceptionLogsAndEmptiesTheStack)
{
    zelvo_test::CTestController controller;
    osk::CExceptionFacade facade(&controller);
    for (int i = 1; i <= 25; ++i) numbered(i).record(facade);
    EXPECT_EQ(25u, facade.size());
    EXPECT_TRUE(controller.entries().empty());

    numbered(26).record(facade);
    EXPECT_TRUE(facade.empty());
    const auto entries = controller.entries();
    ASSERT_EQ(27u, entries.size());
    EXPECT_EQ("warning: The exception stack is exhausted. The next 26 message(s) are from the exception stack.",
              entries[0]);
    EXPECT_EQ("error: Step 1 failed. (Cause 1.)", entries[1]);
    EXPECT_EQ("error: Step 26 failed. (Cause 26.)", entries[26]);

    // The count starts again.
    numbered(27).record(facade);
    EXPECT_EQ(1u, facade.size());
}

TEST(ExceptionFacadeTest, MessageForms)
{
    zelvo_test::CTestController controller;
    osk::CExceptionFacade facade(&controller);
    EXPECT_EQ("<No data>", facade.minimalMsg());
    EXPECT_EQ("", facade.comprehensiveMsg());
    EXPECT_TRUE(facade.outer().isNull());
    EXPECT_EQ(0u, facade.severity());

    numbered(1).record(facade);
    osk::CExQueueFull full(osk::CMessage("Queue is full."), osk::CMessage(), "T::g", "extended", __FILE__, __LINE__,
                           osk::CException::warning);
    full.record(facade);
    EXPECT_EQ("Step 1 failed. (Cause 1.)", facade.minimalMsg());
    EXPECT_EQ("Step 1 failed. (Cause 1.) / Queue is full.", facade.comprehensiveMsg());
    EXPECT_EQ("Step 1 failed. (Cause 1.)", facade.outer()->printableError());
    // Recorded copies keep their dynamic type.
    EXPECT_NE(nullptr, dynamic_cast<osk::CExQueueFull*>(facade.inner().get()));
    EXPECT_EQ(osk::CException::error | osk::CException::warning, facade.severity());

    controller.msgStore().addTranslation("Queue is full.", "de_DE", "Warteschlange voll.");
    EXPECT_EQ("Step 1 failed. (Cause 1.) / Warteschlange voll.", facade.comprehensiveMsg("de_DE"));

    facade.log();
    EXPECT_TRUE(facade.empty());
    EXPECT_EQ(2u, controller.entries().size());
    EXPECT_EQ("warning: Queue is full.", controller.entries()[1]);
}

TEST(ExceptionFacadeTest, EachThreadHasItsOwnFacade)
{
    zelvo_test::CTestController controller;
    osk::CExceptionFacade* mine = &controller.exceptionFacade();
    EXPECT_EQ(mine, &controller.exceptionFacade());
    EXPECT_EQ(&controller, mine->controller());
    osk::CExceptionFacade* theirs = nullptr;
    std::thread other([&] { theirs = &controller.exceptionFacade(); });
    other.join();
    EXPECT_NE(mine, theirs);
}

TEST(ExceptionFacadeTest, ExtendedResultSharesSuccessAndFacadeAcrossCopies)
{
    zelvo_test::CTestController controller;
    int value = 0;
    osk::CExtAsyncResult<int> caller(&controller, &value);
    osk::CExtAsyncResult<int> command(caller);
    std::thread worker([command]() mutable {
        osk::CExceptionFacade local(nullptr);
        numbered(5).record(local);
        *command = 42;
        command.success(true);
        command.exceptionFacade(local);
        command.signal();
    });
    caller.wait();
    worker.join();
    EXPECT_EQ(42, value);
    EXPECT_TRUE(caller.success());
    EXPECT_EQ("Step 5 failed. (Cause 5.)", caller.exceptionFacade().minimalMsg());
    // The shared facade keeps the caller's controller for translation and logging.
    EXPECT_EQ(&controller, caller.exceptionFacade().controller());
}

TEST(ExceptionFacadeTest, DefaultControllerLogWritesOneLineToStandardError)
{
    class CStderrController : public zelvo_test::CTestController {
    public:
        void syslog(uint32_t severity, const osk::CMessage& message, int errCode) override
        {
            osk::CMasterController::syslog(severity, message, errCode);
        }
    } controller;
    testing::internal::CaptureStderr();
    controller.syslog(osk::CException::error, osk::CMessage("Disk %1 failed.", "standard").pushs("sda"), 2);
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ("[error] [standard] Disk sda failed. (No such file or directory)\n", out);
}

} // namespace
