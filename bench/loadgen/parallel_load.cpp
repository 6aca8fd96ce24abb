#include "parallel_load.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "latency_stats.h"
#include "load_runner.h"

namespace loadgen {

namespace {
size_t portion(size_t total, unsigned parts, unsigned index)
{
    return total / parts + (index < total % parts ? 1 : 0);
}
} // namespace

CLoadConfig CParallelLoad::share(const CLoadConfig& config, unsigned parts, unsigned index)
{
    CLoadConfig out = config;
    out.threads = 1;
    out.transfers = portion(config.transfers, parts, index);
    out.concurrency = std::max<size_t>(1, std::min(out.transfers, portion(config.concurrency, parts, index)));
    if (parts > 1) out.uploadPrefix = config.uploadPrefix + std::to_string(index) + "-";
    return out;
}

CLoadReport CParallelLoad::run()
{
    // More runners than transfers would leave some with nothing to do.
    const unsigned parts = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(_config.threads, _config.transfers)));
    std::vector<CLoadConfig> configs;
    for (unsigned i = 0; i < parts; ++i) configs.push_back(share(_config, parts, i));
    std::vector<std::unique_ptr<CLoadRunner>> runners;
    for (unsigned i = 0; i < parts; ++i) runners.emplace_back(new CLoadRunner(configs[i], _sources, _server, i));

    std::vector<CLoadReport> reports(parts);
    std::vector<std::exception_ptr> errors(parts);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < parts; ++i)
        threads.emplace_back([&, i] {
            try {
                reports[i] = runners[i]->run();
            } catch (...) {
                errors[i] = std::current_exception();
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);

    CLoadReport merged = reports[0];
    merged.transfers = _config.transfers;
    merged.concurrency = _config.concurrency;
    CLatencyStats latency;
    for (unsigned i = 0; i < parts; ++i) {
        latency.add(runners[i]->latency());
        if (i == 0) continue;
        const CLoadReport& part = reports[i];
        merged.completed += part.completed;
        merged.failures += part.failures;
        merged.retransmits += part.retransmits;
        merged.bytes += part.bytes;
        merged.seconds = std::max(merged.seconds, part.seconds);
        for (const std::string& sample : part.failureSamples)
            if (merged.failureSamples.size() < 5) merged.failureSamples.push_back(sample);
    }
    merged.p50Usec = latency.percentile(50);
    merged.p99Usec = latency.percentile(99);
    merged.maxUsec = latency.max();
    merged.meanUsec = latency.mean();
    return merged;
}

} // namespace loadgen
