#pragma once

#include <cstdint>

// The configured bounds of option negotiation. The engine fills one from its
// configuration when it starts; the defaults are those used when a key is
// absent from the configuration.
struct CTFTPOptionLimits {
    // Retransmission timeouts, microseconds.
    uint64_t timeout_usec = 3000000;      // used when the client asks for none
    uint64_t min_timeout_usec = 1000000;
    uint64_t max_timeout_usec = 255000000;
    // Block sizes, bytes.
    uint64_t min_blocksize = 1;
    uint64_t max_blocksize = 8192;
    bool allow_blocksize_option = true;
    bool allow_timeout_option = true;
    bool allow_tsize_option = true;
};
