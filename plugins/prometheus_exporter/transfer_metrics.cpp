#include "prometheus_exporter/transfer_metrics.h"

#include <cstdint>
#include <functional>
#include <string>

#include "tftp/tftp_interfaces/transfer_statistics.h"

namespace promexp {

namespace {
using counts_t = CTransferStatistics::CCounts;
using snapshot_t = CTransferStatistics::CSnapshot;

prometheus::ClientMetric sample(prometheus::MetricType type, double value,
                                std::vector<prometheus::ClientMetric::Label> labels)
{
    prometheus::ClientMetric metric;
    metric.label = std::move(labels);
    if (type == prometheus::MetricType::Counter)
        metric.counter.value = value;
    else
        metric.gauge.value = value;
    return metric;
}

// One family with one sample per file system.
prometheus::MetricFamily perFileSystem(const snapshot_t& snapshot, const char* name, const char* help,
                                       prometheus::MetricType type, const std::function<uint64_t(const counts_t&)>& value)
{
    prometheus::MetricFamily family{name, help, type, {}};
    for (const auto& fileSystem : snapshot.fileSystems)
        family.metric.push_back(
            sample(type, static_cast<double>(value(fileSystem.second)), {{"filesystem", fileSystem.first}}));
    return family;
}
} // namespace

std::vector<prometheus::MetricFamily> CTransferMetrics::Collect() const
{
    const snapshot_t snapshot = _statistics.snapshot(CTransferStatistics::steadySeconds());
    std::vector<prometheus::MetricFamily> out;

    prometheus::MetricFamily transfers{"zelvo_tftp_transfers_total",
                                       "TFTP requests by how they ended (refused ones never started).",
                                       prometheus::MetricType::Counter,
                                       {}};
    for (const auto& fileSystem : snapshot.fileSystems)
        for (size_t i = 0; i < CTransferStatistics::kOutcomes; ++i)
            transfers.metric.push_back(
                sample(prometheus::MetricType::Counter, static_cast<double>(fileSystem.second.outcomes[i]),
                       {{"filesystem", fileSystem.first},
                        {"outcome", CTransferStatistics::outcomeName(static_cast<CTransferStatistics::outcome_t>(i))}}));
    out.push_back(std::move(transfers));

    out.push_back(perFileSystem(snapshot, "zelvo_tftp_requests_total", "TFTP read and write requests received.",
                                prometheus::MetricType::Counter, [](const counts_t& c) { return c.requests; }));
    out.push_back(perFileSystem(snapshot, "zelvo_tftp_bytes_sent_total",
                                "Payload bytes of data blocks sent, each block once.", prometheus::MetricType::Counter,
                                [](const counts_t& c) { return c.bytesSent; }));
    out.push_back(perFileSystem(snapshot, "zelvo_tftp_bytes_received_total", "Payload bytes of data blocks stored.",
                                prometheus::MetricType::Counter, [](const counts_t& c) { return c.bytesReceived; }));
    out.push_back(perFileSystem(snapshot, "zelvo_tftp_retransmissions_total", "Packets sent again.",
                                prometheus::MetricType::Counter, [](const counts_t& c) { return c.retransmissions; }));
    out.push_back(perFileSystem(snapshot, "zelvo_tftp_active_transfers", "Transfers running now.",
                                prometheus::MetricType::Gauge, [](const counts_t& c) { return c.active; }));

    prometheus::MetricFamily lastMinute{"zelvo_tftp_requests_last_minute", "TFTP requests received in the last 60 s.",
                                        prometheus::MetricType::Gauge,
                                        {}};
    lastMinute.metric.push_back(
        sample(prometheus::MetricType::Gauge, static_cast<double>(snapshot.requestsLastMinute), {}));
    out.push_back(std::move(lastMinute));
    return out;
}

} // namespace promexp
