// The floor under any TFTP server on this machine: the time of a bare UDP
// round trip on loopback between two threads (one datagram each way, like
// one DATA and its ACK), with nothing done in between.
#pragma once

#include <cstddef>

#include "load_report.h"

namespace loadgen {

class CPingPongFloor {
public:
    explicit CPingPongFloor(size_t rounds, size_t payload = 516) : _rounds(rounds), _payload(payload) {}
    // Throws std::runtime_error when the sockets cannot be set up.
    CLoadReport run();

private:
    size_t _rounds;
    size_t _payload;
};

} // namespace loadgen
