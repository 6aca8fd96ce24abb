#pragma once

#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

class CTransferStatistics;

namespace promexp {

// The engine's transfer counters as Prometheus metric families, read afresh
// at every scrape (on the exporter's HTTP thread):
//   zelvo_tftp_transfers_total{filesystem,outcome}   counter
//   zelvo_tftp_requests_total{filesystem}            counter
//   zelvo_tftp_bytes_sent_total{filesystem}          counter
//   zelvo_tftp_bytes_received_total{filesystem}      counter
//   zelvo_tftp_retransmissions_total{filesystem}     counter
//   zelvo_tftp_active_transfers{filesystem}          gauge
//   zelvo_tftp_requests_last_minute                  gauge
// outcome is one of success, timeout, max_rx, refused, aborted, error.
class CTransferMetrics : public prometheus::Collectable {
public:
    // statistics must outlive the metrics.
    explicit CTransferMetrics(const CTransferStatistics& statistics) : _statistics(statistics) {}

    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    const CTransferStatistics& _statistics;
};

} // namespace promexp
