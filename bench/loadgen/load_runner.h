// Runs a load: `transfers` TFTP transfers, `concurrency` of them at a time,
// each on its own UDP socket (as separate clients would), all driven by one
// epoll loop with a retransmission timer per transfer.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "client_transfer.h"
#include "latency_stats.h"
#include "load_config.h"
#include "load_report.h"
#include "source_set.h"
#include "udp_endpoint.h"

namespace loadgen {

class CLoadRunner {
public:
    // part: this runner's number among runners of one process (their client
    // ports start apart).
    CLoadRunner(const CLoadConfig& config, const CSourceSet& sources, const CUdpEndpoint& server,
                unsigned part = 0);
    ~CLoadRunner();
    CLoadRunner(const CLoadRunner&) = delete;
    CLoadRunner& operator=(const CLoadRunner&) = delete;

    // Throws std::runtime_error when the sockets cannot be set up.
    CLoadReport run();
    // The latency of every completed transfer of the run.
    const CLatencyStats& latency() const { return _latency; }

private:
    using Clock = std::chrono::steady_clock;
    struct Slot {
        int fd = -1;
        std::unique_ptr<CClientTransfer> transfer;
        Clock::time_point started;
        Clock::time_point deadline;
    };
    struct Upload {
        const CSourceSet::File* file;
        std::string remoteName;
    };

    bool _startNext(Slot& slot);
    void _bindFreshPort(int fd);
    void _send(Slot& slot);
    void _step(Slot& slot, CClientTransfer::Step step);
    void _finish(Slot& slot);
    void _receive(Slot& slot);
    void _checkTimers(Clock::time_point now);
    void _failure(const std::string& why);
    void _verifyUploads();

    const CLoadConfig& _config;
    const CSourceSet& _sources;
    CUdpEndpoint _server;
    unsigned _part;
    int _epoll = -1;
    std::vector<Slot> _slots;
    std::vector<uint8_t> _buffer;
    std::vector<Upload> _uploads;
    unsigned _nextPort = 0;
    size_t _started = 0;
    size_t _ended = 0;
    CLatencyStats _latency;
    CLoadReport _report;
};

} // namespace loadgen
