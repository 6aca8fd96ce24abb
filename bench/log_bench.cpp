// Throughput of the log front end: entries per second posted through the
// "async-log" task, asynchronously (the caller only posts) and synchronously
// (the caller waits for each entry), to the null target and to a file.
#include <ace/Reactor.h>
#include <ace/Select_Reactor.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "extended/async_log.h"
#include "extended/master_controller.h"
#include "extended/shutdown_notifier.h"

namespace {

class CBenchController : public osk::CMasterController {
public:
    CBenchController() : _reactor(new ACE_Select_Reactor, true), _notifier(&_reactor)
    {
        config(osk::CConfigPtr(new osk::CConfig("1", "1", "")));
    }
    ~CBenchController() override { stopLog(); }
    std::string type() const override { return "bench"; }
    osk::CShutdownNotifier& shutdownNotifier() const override { return _notifier; }
    std::string appName() const override { return "zelvo-bench"; }
    int daemon() override { return 0; }
    void stop() override {}
    void pause() override {}
    void resume() override {}

private:
    ACE_Reactor _reactor;
    mutable osk::CShutdownNotifier _notifier;
};

void runLog(benchmark::State& state, const char* target, bool synchronous)
{
    const std::string path = "/tmp/zelvo_log_bench_" + std::to_string(::getpid()) + ".log";
    CBenchController controller;
    controller.config()->set_string("system.log.targets", target);
    controller.config()->set_string("system.log.target.file", path);
    controller.config()->set_string("system.log.levels", "error");
    controller.config()->set_string("system.log.synchronous", synchronous ? "true" : "false");
    controller.startLog();
    osk::CAsyncLog* log = controller.log();
    int64_t n = 0;
    for (auto _ : state)
        log->syslog(osk::CException::error, osk::CMessage("Transfer %1 of '%2' failed.", "bench").push(++n).pushs("f"));
    // Asynchronous rates count posts; once the queue is full posters wait
    // for the log thread, so long runs approach its write rate.
    log->waitUntilWritten();
    state.SetItemsProcessed(state.iterations());
    controller.stopLog();
    std::remove(path.c_str());
}

void BM_AsyncNull(benchmark::State& state) { runLog(state, "null", false); }
void BM_SyncNull(benchmark::State& state) { runLog(state, "null", true); }
void BM_AsyncFile(benchmark::State& state) { runLog(state, "file", false); }
void BM_SyncFile(benchmark::State& state) { runLog(state, "file", true); }

BENCHMARK(BM_AsyncNull)->UseRealTime();
BENCHMARK(BM_SyncNull)->UseRealTime();
BENCHMARK(BM_AsyncFile)->UseRealTime();
BENCHMARK(BM_SyncFile)->UseRealTime();

} // namespace
