#pragma once

#include <cstddef>
#include <cstdint>

namespace localfs {

// Converts file contents to netascii for a download: LF becomes CR LF and a
// bare CR becomes CR NUL. It works block by block: when the two bytes of an
// expansion do not both fit the current block, the second one is carried
// over and opens the next block, so every block but the last is full.
class CNetasciiEncoder {
public:
    // Writes the netascii form of in[0..inLen) into out[0..outCap), starting
    // with the byte carried from the previous call. Stops when out is full
    // or the input is used up; consumed receives the number of input bytes
    // used. Returns the number of bytes written.
    size_t encode(const char* in, size_t inLen, char* out, size_t outCap, size_t& consumed);
    // A byte of the last expansion still waits to be written.
    bool pending() const { return _hasCarry; }
    // Forgets the carried byte (for a new transfer).
    void reset() { _hasCarry = false; }

    // Number of netascii bytes that data[0..len) turns into.
    static uint64_t encodedSize(const char* data, size_t len);

private:
    bool _hasCarry = false;
    char _carry = 0;
};

} // namespace localfs
