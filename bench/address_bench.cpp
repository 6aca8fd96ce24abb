// Parse and print costs of ip addresses and endpoints: every TFTP request
// and console connection turns a peer address into text at least once.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "standard/endpoint.h"
#include "standard/ip_address.h"

namespace {

const std::vector<std::string> kIPv4 = {"192.168.1.10", "10.0.0.1", "255.255.255.255", "192.168.001.010"};
const std::vector<std::string> kIPv6 = {"::1", "2001:db8::1", "fe80::1ff:fe23:4567:890a", "::ffff:10.0.0.1"};

void parse(benchmark::State& state, const std::vector<std::string>& texts)
{
    size_t i = 0;
    for (auto _ : state) {
        osk::CIPAddress address(texts[i++ % texts.size()]);
        benchmark::DoNotOptimize(address);
    }
    state.SetItemsProcessed(state.iterations());
}

void print(benchmark::State& state, const std::vector<std::string>& texts, bool fat)
{
    std::vector<osk::CIPAddress> addresses;
    for (const std::string& text : texts) addresses.emplace_back(text);
    size_t i = 0;
    for (auto _ : state) {
        const osk::CIPAddress& address = addresses[i++ % addresses.size()];
        std::string text = fat ? address.fat_string() : address.string();
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ParseIPv4(benchmark::State& state) { parse(state, kIPv4); }
void BM_ParseIPv6(benchmark::State& state) { parse(state, kIPv6); }
void BM_PrintIPv4(benchmark::State& state) { print(state, kIPv4, false); }
void BM_PrintIPv6(benchmark::State& state) { print(state, kIPv6, false); }
void BM_FatStringIPv4(benchmark::State& state) { print(state, kIPv4, true); }
void BM_FatStringIPv6(benchmark::State& state) { print(state, kIPv6, true); }

void BM_IsValidRejects(benchmark::State& state)
{
    const std::vector<std::string> bad = {"256.1.1.1", "1..2.3", "1.2.3.4 ", "2001:db8:::1"};
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(osk::CIPAddress::isValid(bad[i++ % bad.size()]));
    state.SetItemsProcessed(state.iterations());
}

void BM_EndpointRoundTrip(benchmark::State& state)
{
    const std::vector<std::string> texts = {"10.0.0.1:69", "[::1]:69", "[2001:db8::1]:6969", "192.168.1.10:65535"};
    size_t i = 0;
    for (auto _ : state) {
        std::string text = osk::CEndpoint(texts[i++ % texts.size()]).string();
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ParseIPv4);
BENCHMARK(BM_ParseIPv6);
BENCHMARK(BM_PrintIPv4);
BENCHMARK(BM_PrintIPv6);
BENCHMARK(BM_FatStringIPv4);
BENCHMARK(BM_FatStringIPv6);
BENCHMARK(BM_IsValidRejects);
BENCHMARK(BM_EndpointRoundTrip);

} // namespace
