// Round trip of one command through a command-queue task: post from the
// benchmark thread, execute on a task thread, signal, and return from wait().
#include <benchmark/benchmark.h>

#include <ace/Reactor.h>
#include <ace/Select_Reactor.h>

#include "extended/cmd_null.h"
#include "extended/command_queue_task.h"
#include "extended/shutdown_notifier.h"

namespace {

class CBenchController : public osk::CMasterController {
public:
    CBenchController() : _reactor(new ACE_Select_Reactor, true), _notifier(&_reactor) {}
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

void BM_CommandRoundTrip(benchmark::State& state)
{
    CBenchController controller;
    osk::CCommandQueueTask<> task(&controller, "bench", static_cast<uint64_t>(state.range(0)));
    if (task.run() != 0) {
        state.SkipWithError("task did not start");
        return;
    }
    for (auto _ : state) {
        bool done = false;
        osk::CAsyncResult<bool> result(&done);
        task.sendCommand(osk::CAsyncCommandPtr(new osk::CCmdNull(result)));
        result.wait();
        benchmark::DoNotOptimize(done);
    }
    task.shutdown();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CommandRoundTrip)->Arg(1)->Arg(2)->UseRealTime();

// Posting alone, in batches drained by one wait for the last command.
void BM_CommandPostBatch(benchmark::State& state)
{
    CBenchController controller;
    osk::CCommandQueueTask<> task(&controller, "bench", 1);
    if (task.run() != 0) {
        state.SkipWithError("task did not start");
        return;
    }
    constexpr int kBatch = 64;
    for (auto _ : state) {
        bool done[kBatch] = {};
        for (int i = 0; i < kBatch; ++i) {
            osk::CAsyncResult<bool> result(&done[i]);
            task.sendCommand(osk::CAsyncCommandPtr(new osk::CCmdNull(result)));
            if (i == kBatch - 1) result.wait();
        }
    }
    task.shutdown();
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_CommandPostBatch)->UseRealTime();

} // namespace
