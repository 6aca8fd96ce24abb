// Cost of creating and destroying an object through the tracked factory,
// the way the engine builds a transfer event per pass: a polymorphic object
// released through its base. Off, the tracker should add no more than a
// flag read to new and delete. On, every creation and release takes the
// tracker's one lock, so threads queue behind each other there: objects per
// second with two threads against one show how much of the work is
// serialised.

#include "standard/tracked_factory.h"

#include <benchmark/benchmark.h>

namespace {

struct CBenchEvent {
    virtual ~CBenchEvent() = default;
    long sequence = 0;
};
struct CBenchStateEvent : CBenchEvent {
    long transferID = 0;
};

// The baseline: what the factory wraps.
void BM_PlainNewDelete(benchmark::State& state)
{
    for (auto _ : state) {
        CBenchEvent* event = new CBenchStateEvent;
        benchmark::DoNotOptimize(event);
        delete event;
    }
    state.SetItemsProcessed(state.iterations());
}

void createAndDestroy(benchmark::State& state, bool tracking)
{
    if (state.thread_index() == 0) CMemTrack::enabled(tracking);
    for (auto _ : state) {
        CBenchEvent* event = osk::CTrackedFactory::create<CBenchStateEvent>();
        benchmark::DoNotOptimize(event);
        osk::CTrackedFactory::destroy(event);
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) CMemTrack::enabled(false);
}

void BM_TrackedOff(benchmark::State& state) { createAndDestroy(state, false); }
void BM_TrackedOn(benchmark::State& state) { createAndDestroy(state, true); }

} // namespace

BENCHMARK(BM_PlainNewDelete);
// items_per_second counts the objects of all threads per second of wall time.
BENCHMARK(BM_TrackedOff)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_TrackedOn)->Threads(1)->Threads(2)->UseRealTime();
