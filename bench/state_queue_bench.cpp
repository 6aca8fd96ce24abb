// Cost of the engine's deadline queue per packet: one transfer's deadline
// moves (a packet arrived or was sent) and the queue restores its order.
// With the indexed heap the cost grows with log n, not with n: the figures
// for 100, 1,000 and 10,000 transfers should stay close together.

#include "tftp/tftp_server/state_queue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<CStatePtr> transfers(size_t count, std::mt19937& random)
{
    std::vector<CStatePtr> out;
    for (size_t i = 0; i < count; ++i) {
        CStatePtr state(new CState(i + 1, CState::need_ack, osk::CEndpoint(), 1000000, 512));
        state->activityTime = osk::CTimeval::fromUsec(static_cast<int64_t>(random() % 1000000));
        out.push_back(state);
    }
    return out;
}

// A queue holding every one of the transfers.
void fill(CStateQueue& queue, const std::vector<CStatePtr>& all)
{
    for (const CStatePtr& s : all) queue.push(s);
}

void BM_DeadlineChangePerPacket(benchmark::State& state)
{
    std::mt19937 random(1);
    std::vector<CStatePtr> all = transfers(static_cast<size_t>(state.range(0)), random);
    CStateQueue queue;
    fill(queue, all);
    int64_t clock = 1000000;
    size_t next = 0;
    for (auto _ : state) {
        // A packet for one transfer: its activity time becomes "now".
        CState& s = *all[next];
        next = (next + 7919) % all.size();
        s.activityTime = osk::CTimeval::fromUsec(++clock);
        queue.update(s);
        benchmark::DoNotOptimize(queue.top());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DeadlineChangePerPacket)->Arg(100)->Arg(1000)->Arg(10000);

void BM_ServiceTopAndReplace(benchmark::State& state)
{
    // The scheduler's round: the top transfer is serviced, its deadline
    // moves on, and one transfer ends while another starts.
    std::mt19937 random(2);
    std::vector<CStatePtr> all = transfers(static_cast<size_t>(state.range(0)), random);
    CStateQueue queue;
    fill(queue, all);
    int64_t clock = 1000000;
    size_t next = 0;
    for (auto _ : state) {
        const CStatePtr top = queue.top();
        top->activityTime = osk::CTimeval::fromUsec(++clock);
        queue.update(*top);
        CStatePtr& leaving = all[next];
        next = (next + 104729) % all.size();
        queue.remove(*leaving);
        leaving->activityTime = osk::CTimeval::fromUsec(++clock);
        queue.push(leaving);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServiceTopAndReplace)->Arg(100)->Arg(1000)->Arg(10000);


void BM_ResortingTheWholeQueuePerPacket(benchmark::State& state)
{
    // The baseline the indexed heap replaced: after a deadline change the
    // whole heap is rebuilt (std::make_heap), O(n) per packet.
    std::mt19937 random(1);
    std::vector<CStatePtr> all = transfers(static_cast<size_t>(state.range(0)), random);
    std::vector<CStatePtr> heap = all;
    std::make_heap(heap.begin(), heap.end(), CStatePriority());
    int64_t clock = 1000000;
    size_t next = 0;
    for (auto _ : state) {
        all[next]->activityTime = osk::CTimeval::fromUsec(++clock);
        next = (next + 7919) % all.size();
        std::make_heap(heap.begin(), heap.end(), CStatePriority());
        benchmark::DoNotOptimize(heap.front());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResortingTheWholeQueuePerPacket)->Arg(100)->Arg(1000)->Arg(10000);

} // namespace
