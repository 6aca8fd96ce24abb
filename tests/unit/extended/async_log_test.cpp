#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "extended/async_log.h"
#include "extended/async_result.h"
#include "extended/exception.h"
#include "extended/exception_facade.h"
#include "stdout_capture.h"
#include "support/thrown.h"
#include "test_controller.h"

namespace {

using test_support::thrown;

using osk::CException;

// The test controller, but logging through the controller's own road (the
// log task once started) instead of keeping entries in memory.
class CLogController : public zelvo_test::CTestController {
public:
    CLogController() { config(osk::CConfigPtr(new osk::CConfig("1", "1", ""))); }
    ~CLogController() override { stopLog(); }
    using osk::CMasterController::syslog;
    void syslog(uint32_t severity, const osk::CMessage& message, int errCode = 0) override
    {
        osk::CMasterController::syslog(severity, message, errCode);
    }
    void set(const std::string& key, const std::string& value) { config()->set_string(key, value); }
};

// A registered target that keeps "severity|task|module|text" of each entry.
class CMemoryTarget : public osk::CLogTarget {
public:
    void output(const std::string&, const std::string&, uint64_t, const std::string& taskName,
                const std::string& module, const osk::CLogFacility&, uint32_t severity, int64_t, uint64_t,
                const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _entries.push_back(CException::severityString(severity) + "|" + taskName + "|" + module + "|" + text);
    }
    void reconfigure(const std::string&) override {}
    std::vector<std::string> entries()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _entries;
    }
    bool contains(const std::string& part)
    {
        for (const auto& entry : entries())
            if (entry.find(part) != std::string::npos) return true;
        return false;
    }

private:
    std::mutex _mutex;
    std::vector<std::string> _entries;
};

struct LogFixture : public ::testing::Test {
    void start(const std::string& levels = "error,warning,info,audit,debug")
    {
        controller.set("system.log.targets", "null");
        controller.set("system.log.levels", levels);
        controller.startLog();
        controller.log()->registerTarget(memory);
    }
    CLogController controller;
    osk::CGeneralPtr<CMemoryTarget> memory{new CMemoryTarget};
};

TEST_F(LogFixture, StartsConfiguresAndFiltersLevels)
{
    controller.set("system.log.targets", "null,stdout");
    controller.set("system.log.levels", "error");
    controller.set("system.log.target.stdout", "raw=true");
    zelvo_test::CStdoutCapture capture;
    controller.startLog();
    ASSERT_NE(nullptr, controller.log());
    EXPECT_EQ("async-log", controller.log()->taskName());
    controller.syslog(CException::warning, osk::CMessage("A warning.", "standard"));
    controller.syslog(CException::info, osk::CMessage("An info.", "standard"));
    controller.syslog(CException::error, osk::CMessage("%1 of %2", "standard").push(3).push(7));
    controller.log()->waitUntilWritten();
    capture.restore();
    // Only the error passes the filter (the configuration's own info lines too
    // are filtered out).
    EXPECT_EQ("3 of 7\n", capture.text());
    EXPECT_FALSE(controller.log()->debugEnabled());
}

TEST_F(LogFixture, ConfigurationIsLoggedAndBadTargetsAreDropped)
{
    controller.set("system.log.targets", "stdout,rsyslog");
    controller.set("system.log.target.stdout", "raw=true");
    controller.set("system.log.target.rsyslog", "");
    zelvo_test::CStdoutCapture capture;
    controller.startLog();
    controller.log()->waitUntilWritten();
    capture.restore();
    const std::string text = capture.text();
    EXPECT_NE(std::string::npos, text.find("Configuring log target 'rsyslog' with setting ''.\n")) << text;
    EXPECT_NE(std::string::npos,
              text.find("Failed to configure log target 'rsyslog' with setting ''. Target is being disabled.\n"));
    EXPECT_NE(std::string::npos,
              text.find("The system is logging 'error,warning,info,audit,debug' to 'stdout'.\n"));
    EXPECT_NE(std::string::npos, text.find("The system logger is in asynchronous mode.\n"));

    // An unknown target name is thrown to the caller of refresh().
    controller.set("system.log.targets", "stdout,console");
    EXPECT_EQ("Cannot create log target 'console'. (Unknown target name.)",
              thrown([&] { controller.log()->refresh(); }).printableError());
}

TEST_F(LogFixture, FirstTargetReceivesItsOwnConfiguringLine)
{
    controller.set("system.log.targets", "stdout");
    controller.set("system.log.levels", "info");
    controller.set("system.log.target.stdout", "raw=true");
    zelvo_test::CStdoutCapture capture;
    controller.startLog();
    controller.log()->waitUntilWritten();
    capture.restore();
    // The configuration report, in order, reaches the only target.
    const std::string report = "Configuring log target 'stdout' with setting 'raw=true'.\n"
                               "The system is logging 'info' to 'stdout'.\n";
    EXPECT_EQ(0u, capture.text().find(report)) << capture.text();
}

TEST_F(LogFixture, ThreadOfNoTaskIsUnregisteredTask)
{
    controller.set("system.log.targets", "stdout");
    controller.set("system.log.levels", "error");
    zelvo_test::CStdoutCapture capture;
    controller.startLog();
    const uint64_t self = static_cast<uint64_t>(pthread_self());
    controller.syslog(CException::error, osk::CMessage("Lost.", "standard"));
    controller.log()->waitUntilWritten();
    capture.restore();
    const std::regex line("\\[error\\] \\[[^\\]]+\\] \\[unregistered-task\\] \\[" + std::to_string(self) +
                          "\\] \\[standard\\] Lost\\.\n");
    EXPECT_TRUE(std::regex_match(capture.text(), line)) << capture.text();
}

TEST_F(LogFixture, DebugAndVerboseNeedTheirLevel)
{
    start("error,info");
    controller.syslog(CException::debug, osk::CMessage("debug entry"));
    controller.syslog(CException::verbose, osk::CMessage("verbose entry"));
    controller.syslog(CException::info, osk::CMessage("info entry"));
    controller.log()->waitUntilWritten();
    EXPECT_FALSE(memory->contains("debug entry"));
    EXPECT_FALSE(memory->contains("verbose entry"));
    EXPECT_TRUE(memory->contains("info|unregistered-task||info entry"));

    controller.set("system.log.levels", "all");
    controller.log()->refresh();
    EXPECT_TRUE(controller.log()->verboseEnabled());
    controller.syslog(CException::verbose, osk::CMessage("verbose entry"));
    controller.log()->waitUntilWritten();
    EXPECT_TRUE(memory->contains("verbose entry"));
}

TEST_F(LogFixture, SynchronousModeWritesBeforeReturning)
{
    start();
    controller.set("system.log.synchronous", "true");
    controller.log()->refresh();
    EXPECT_TRUE(controller.log()->synchronous());
    EXPECT_TRUE(memory->contains("The system logger is in synchronous mode."));
    controller.syslog(CException::error, osk::CMessage("Disk failed."), ENOSPC);
    // No flush: the call returned after the entry was written.
    EXPECT_TRUE(memory->contains("error|unregistered-task||Disk failed. (No space left on device)"));
    controller.log()->synchronous(false);
    // That notice is itself logged asynchronously.
    controller.log()->waitUntilWritten();
    EXPECT_TRUE(memory->contains("The system logger is in asynchronous mode."));
}

TEST_F(LogFixture, ExceptionFacadeLogsThroughTheLog)
{
    start();
    osk::CExceptionFacade& facade = controller.exceptionFacade();
    facade.push(OSK_EXCEPTION(osk::CMessage("Failed to open '%1'.").pushs("x"), osk::CMessage("Gone."), "C::f",
                              "tftp_server"));
    CException warning(osk::CMessage("Retrying."), osk::CMessage(), "C::g", "standard");
    warning.severity(CException::warning);
    facade.push(warning);
    facade.log();
    controller.log()->waitUntilWritten();
    EXPECT_TRUE(facade.empty());
    const auto entries = memory->entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("error|unregistered-task|tftp_server|Failed to open 'x'. (Gone.)", entries[0]);
    EXPECT_EQ("warning|unregistered-task|standard|Retrying.", entries[1]);
}

TEST_F(LogFixture, EntriesOfTaskThreadsNameTheirTask)
{
    start();
    controller.syslog(CException::info, osk::CMessage("from the log thread"));
    osk::CAsyncLog* log = controller.log();
    // A command executing on the log thread logs inline, under the task name.
    bool done = false;
    osk::CAsyncResult<bool> result(&done);
    struct CLogFromTask : public osk::CAsyncCommand {
        CLogFromTask(osk::CAsyncLog* l, const osk::CAsyncResult<bool>& r) : CAsyncCommand("x", ""), log(l), res(r) {}
        void execute(unsigned long) override { log->syslog(CException::info, osk::CMessage("inside", "extended")); }
        void signalResult() override { res.signal(); }
        osk::CAsyncLog* log;
        osk::CAsyncResult<bool> res;
    };
    log->sendCommand(osk::CGeneralPtr<osk::CAsyncCommand>(new CLogFromTask(log, result)));
    result.wait();
    EXPECT_TRUE(memory->contains("info|async-log|extended|inside"));
    log->deregisterTarget(memory);
    controller.syslog(CException::info, osk::CMessage("after deregistration"));
    log->waitUntilWritten();
    EXPECT_FALSE(memory->contains("after deregistration"));
}

TEST_F(LogFixture, AfterShutdownEntriesAreDropped)
{
    start();
    osk::CAsyncLog* log = controller.log();
    controller.syslog(CException::info, osk::CMessage("before"));
    log->shutdown();
    // Queued entries were written before the thread stopped.
    EXPECT_TRUE(memory->contains("before"));
    log->syslog(CException::info, osk::CMessage("after"));
    EXPECT_FALSE(memory->contains("after"));
}

TEST(AsyncLogTest, AvailableTargets)
{
    const auto targets = osk::CAsyncLog::getAvailableTargets();
    ASSERT_EQ(5u, targets.size());
    EXPECT_EQ("null", targets[0].first);
    EXPECT_EQ("A log target that discards all messages it receives", targets[0].second);
    EXPECT_EQ("Displays log messages on the standard output device (stdout)", targets[1].second);
    EXPECT_EQ("Writes log messages to a file", targets[2].second);
    EXPECT_EQ("eventlog", targets[3].first);
    EXPECT_EQ("Forwards log messages to the operating system's local event log", targets[3].second);
    EXPECT_EQ("rsyslog", targets[4].first);
    EXPECT_EQ("Forwards messages across the network to a remote syslog server", targets[4].second);
}

// Four threads log 25,000 entries each to a file through the asynchronous
// log; every entry arrives, and each thread's entries keep their order.
TEST(AsyncLogStressTest, NoLossNoReorderToFile)
{
    const std::string path = "/tmp/zelvo_async_log_" + std::to_string(::getpid()) + ".log";
    std::remove(path.c_str());
    constexpr int kThreads = 4;
    constexpr int kPerThread = 25000;
    {
        CLogController controller;
        controller.set("system.log.targets", "file");
        controller.set("system.log.levels", "error");
        controller.set("system.log.target.file", path);
        controller.startLog();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&controller, t] {
                for (int i = 0; i < kPerThread; ++i)
                    controller.syslog(CException::error, osk::CMessage("w%1 n%2", "test").push(t).push(i));
            });
        }
        for (auto& thread : threads) thread.join();
        controller.stopLog();
    }
    std::ifstream in(path);
    std::vector<int> next(kThreads, 0);
    size_t count = 0;
    size_t bad = 0;
    const std::regex entry(R"(\[error\] \[[^\]]+\] \[unregistered-task\] \[\d+\] \[test\] w(\d) n(\d+))");
    std::smatch match;
    for (std::string line; std::getline(in, line);) {
        ++count;
        // Parsing by hand keeps the check fast under the sanitizers; the
        // full format is checked on a sample.
        if (count % 10007 == 1 && !std::regex_match(line, entry)) ++bad;
        const size_t w = line.rfind(" w");
        const size_t n = line.rfind(" n");
        if (w == std::string::npos || n == std::string::npos || n < w) {
            ++bad;
            continue;
        }
        const int thread = std::stoi(line.substr(w + 2));
        const int number = std::stoi(line.substr(n + 2));
        if (thread < 0 || thread >= kThreads || number != next[thread]) ++bad;
        else ++next[thread];
    }
    std::remove(path.c_str());
    EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), count);
    EXPECT_EQ(0u, bad);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(kPerThread, next[t]) << "thread " << t;
}

} // namespace
