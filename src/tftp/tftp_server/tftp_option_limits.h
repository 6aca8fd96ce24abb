#pragma once

#include <cstdint>

namespace osk {
class CConfigValues;
}

// The configured bounds of option negotiation. The engine fills one from its
// configuration when it starts; a default-constructed one holds the
// catalogue's defaults, the values used when a key is absent.
struct CTFTPOptionLimits {
    CTFTPOptionLimits();
    // Reads the timeout, block-size, window and option keys.
    explicit CTFTPOptionLimits(const osk::CConfigValues& config);

    // Retransmission timeouts, microseconds.
    uint64_t timeout_usec;  // used when the client asks for none
    uint64_t min_timeout_usec;
    uint64_t max_timeout_usec;
    // Block sizes, bytes.
    uint64_t min_blocksize;
    uint64_t max_blocksize;
    bool allow_blocksize_option;
    bool allow_timeout_option;
    bool allow_tsize_option;
    // The windowsize option: whether it is honoured and the largest window
    // granted, in blocks.
    bool allow_windowsize_option;
    uint64_t max_windowsize;
};
