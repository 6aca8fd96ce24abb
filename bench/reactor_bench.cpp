// Costs of the framework's select reactor: waking it through its
// notification channel, and one turn over many ready sockets.
#include <ace/Reactor.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "ace_ext/general_reactor_types.h"

namespace {

// Counts input events and leaves the data in place, so the handle stays ready.
class CReadyHandler : public ACE_Event_Handler {
public:
    explicit CReadyHandler(ACE_HANDLE handle) : _handle(handle) {}
    ACE_HANDLE get_handle() const override { return _handle; }
    int handle_input(ACE_HANDLE) override
    {
        ++calls;
        return 0;
    }
    long calls = 0;

private:
    ACE_HANDLE _handle;
};

template <class Reactor>
void BM_NotifyDispatchRoundTrip(benchmark::State& state)
{
    ACE_Reactor reactor(new Reactor, true);
    for (auto _ : state) {
        reactor.notify();
        ACE_Time_Value wait(1);
        if (reactor.handle_events(wait) != 1) state.SkipWithError("the wake-up was not dispatched");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_NotifyDispatchRoundTrip, osk::CSTReactor);
BENCHMARK_TEMPLATE(BM_NotifyDispatchRoundTrip, osk::CMTReactor);

template <class Reactor>
void BM_TurnWithReadySockets(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    ACE_Reactor reactor(new Reactor, true);
    std::vector<int> fds;
    std::vector<std::unique_ptr<CReadyHandler>> handlers;
    for (int i = 0; i < count; ++i) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
            state.SkipWithError("socketpair failed");
            break;
        }
        fds.push_back(pair[0]);
        fds.push_back(pair[1]);
        (void)::send(pair[1], "x", 1, 0);
        handlers.emplace_back(new CReadyHandler(pair[0]));
        reactor.register_handler(handlers.back().get(), ACE_Event_Handler::READ_MASK);
    }
    for (auto _ : state) {
        ACE_Time_Value wait(1);
        if (reactor.handle_events(wait) != count) state.SkipWithError("not every ready socket was dispatched");
    }
    state.SetItemsProcessed(state.iterations() * count);
    reactor.close();
    for (int fd : fds) ::close(fd);
}
BENCHMARK_TEMPLATE(BM_TurnWithReadySockets, osk::CSTReactor)->Arg(1)->Arg(16)->Arg(128)->Arg(400);
BENCHMARK_TEMPLATE(BM_TurnWithReadySockets, osk::CMTReactor)->Arg(1)->Arg(16)->Arg(128)->Arg(400);

} // namespace
