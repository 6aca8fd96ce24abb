#include "load_report.h"

#include <cstdio>
#include <sstream>

namespace loadgen {

namespace {
std::string fixed(double value, int digits)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*f", digits, value);
    return buffer;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
} // namespace

std::string CLoadReport::text() const
{
    std::ostringstream out;
    if (mode == "floor") {
        out << "floor: " << transfers << " UDP round trips on loopback in " << fixed(seconds, 3) << " s, "
            << fixed(roundTripUsec, 2) << " us per round trip\n";
        return out.str();
    }
    out << mode << ": " << completed << "/" << transfers << " transfers in " << fixed(seconds, 3) << " s, "
        << concurrency << " at once, blksize " << blksize << "\n"
        << "  " << fixed(transfersPerSec(), 1) << " transfers/s, " << fixed(megabytesPerSec(), 2) << " MB/s\n"
        << "  latency p50 " << fixed(p50Usec / 1000, 3) << " ms, p99 " << fixed(p99Usec / 1000, 3) << " ms, max "
        << fixed(maxUsec / 1000, 3) << " ms\n"
        << "  retransmissions " << retransmits << ", failures " << failures << "\n";
    if (responderCpuUsec > 0) out << "  responder CPU " << fixed(responderCpuUsec, 2) << " us per transfer\n";
    for (const std::string& sample : failureSamples) out << "  failure: " << sample << "\n";
    return out.str();
}

std::string CLoadReport::json() const
{
    std::ostringstream out;
    out << "{\"mode\":" << quoted(mode) << ",\"transfers\":" << transfers << ",\"completed\":" << completed
        << ",\"failures\":" << failures << ",\"retransmits\":" << retransmits << ",\"bytes\":" << bytes
        << ",\"concurrency\":" << concurrency << ",\"blksize\":" << blksize << ",\"seconds\":" << fixed(seconds, 6)
        << ",\"transfers_per_sec\":" << fixed(transfersPerSec(), 3) << ",\"mb_per_sec\":"
        << fixed(megabytesPerSec(), 3) << ",\"latency_usec\":{\"p50\":" << fixed(p50Usec, 1)
        << ",\"p99\":" << fixed(p99Usec, 1) << ",\"max\":" << fixed(maxUsec, 1) << ",\"mean\":" << fixed(meanUsec, 1)
        << "},\"round_trip_usec\":" << fixed(roundTripUsec, 3) << ",\"responder_cpu_usec\":"
        << fixed(responderCpuUsec, 3) << ",\"failure_samples\":[";
    for (size_t i = 0; i < failureSamples.size(); ++i) out << (i ? "," : "") << quoted(failureSamples[i]);
    out << "]}";
    return out.str();
}

} // namespace loadgen
