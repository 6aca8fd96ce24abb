// Costs of typed values: the expression language guesses the type of every
// literal it reads and applies the variant operators per request.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "standard/multi_variant.h"
#include "standard/variant.h"

namespace {

// Texts that end at each guessing rule, from the first to the last.
const std::vector<std::string> kMixed = {
    "\"quoted\"", "true", "10.0.0.1", "2001:db8::1", "10.0.0.1:69", "12345", "-42",
    "Tue Nov 14 22:13:20 2023", "0A-FF-10", "$upper", "plain text",
};

void BM_GuessMixed(benchmark::State& state)
{
    size_t i = 0;
    for (auto _ : state) {
        osk::CVariant value = osk::CVariant::guess(kMixed[i++ % kMixed.size()]);
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GuessMixed);

void BM_GuessText(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        osk::CVariant value = osk::CVariant::guess(text);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_GuessText, number, std::string("12345"));
BENCHMARK_CAPTURE(BM_GuessText, plain_string, std::string("plain text"));

void BM_AddIntegers(benchmark::State& state)
{
    const osk::CVariant left(int64_t{40}), right(int64_t{2});
    for (auto _ : state) {
        osk::CVariant sum = left + right;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_AddIntegers);

// The right operand is converted to the left's type first.
void BM_AddMixed(benchmark::State& state)
{
    const osk::CVariant left(uint64_t{40}), right(int64_t{2});
    for (auto _ : state) {
        osk::CVariant sum = left + right;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_AddMixed);

void BM_ConcatenateText(benchmark::State& state)
{
    const osk::CVariant left("/tftpboot/"), right(int64_t{42});
    for (auto _ : state) {
        osk::CVariant path = left + right;
        benchmark::DoNotOptimize(path);
    }
}
BENCHMARK(BM_ConcatenateText);

void BM_MaskAddress(benchmark::State& state)
{
    const osk::CVariant address(osk::CIPAddress("192.168.1.77")), mask("255.255.255.0");
    for (auto _ : state) {
        osk::CVariant network = (address & mask) == osk::CVariant(osk::CIPAddress("192.168.1.0"));
        benchmark::DoNotOptimize(network);
    }
}
BENCHMARK(BM_MaskAddress);

void BM_CompareStrings(benchmark::State& state)
{
    const osk::CVariant left("alpha"), right("beta");
    for (auto _ : state) {
        osk::CVariant less = left < right;
        benchmark::DoNotOptimize(less);
    }
}
BENCHMARK(BM_CompareStrings);

void BM_ListText(benchmark::State& state)
{
    osk::CMultiVariant list;
    for (const std::string& text : kMixed) list.push(osk::CVariant::guess(text));
    for (auto _ : state) {
        std::string text = list.string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ListText);

} // namespace
