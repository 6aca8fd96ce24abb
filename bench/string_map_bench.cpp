#include <benchmark/benchmark.h>

#include <string>

#include "standard/string_map.h"

namespace {

// A record shaped like a console reply or a configuration excerpt.
std::string twentyLineRecord()
{
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "  system.key_" + std::to_string(i) + " = value number " + std::to_string(i * 7919) + "\n";
    return text;
}

void BM_ParseRecord(benchmark::State& state)
{
    const std::string text = twentyLineRecord();
    for (auto _ : state) {
        osk::CStringMap map(text);
        benchmark::DoNotOptimize(map);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseRecord);

void BM_String(benchmark::State& state)
{
    const osk::CStringMap map(twentyLineRecord());
    for (auto _ : state) {
        std::string text = map.string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_String);

void BM_FastString(benchmark::State& state)
{
    const osk::CStringMap map(twentyLineRecord());
    std::string text;
    for (auto _ : state) {
        map.fastString(text);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FastString);

} // namespace
