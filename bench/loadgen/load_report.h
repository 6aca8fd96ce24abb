// The outcome of one load run and its text and JSON forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace loadgen {

class CLoadReport {
public:
    std::string mode;               // "read", "write" or "floor"
    uint64_t transfers = 0;         // attempted
    uint64_t completed = 0;         // finished and verified
    uint64_t failures = 0;
    uint64_t retransmits = 0;
    uint64_t bytes = 0;             // payload bytes of completed transfers
    uint64_t concurrency = 0;
    uint64_t blksize = 0;           // block size in use (of the last transfer)
    double seconds = 0;
    double p50Usec = 0, p99Usec = 0, maxUsec = 0, meanUsec = 0;
    double roundTripUsec = 0;       // floor mode
    double responderCpuUsec = 0;    // self-test: the responder's processor time per completed transfer
    std::vector<std::string> failureSamples;  // the first few failure reasons

    double transfersPerSec() const { return seconds > 0 ? static_cast<double>(completed) / seconds : 0; }
    double megabytesPerSec() const { return seconds > 0 ? static_cast<double>(bytes) / 1048576.0 / seconds : 0; }

    std::string text() const;
    std::string json() const;
};

} // namespace loadgen
