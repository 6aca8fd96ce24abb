#pragma once

#include <cstddef>
#include <cstdint>

namespace osk {

// Shifts a byte string, read as one big-endian number, by a number of bits
// in place, filling with zero bits. Address prefix arithmetic and the
// variant conversions of hex stores are built on it.
class CBitShift {
public:
    // Throws osk::CException for a negative count.
    static void left(uint8_t* buffer, size_t length, int bits);
    static void right(uint8_t* buffer, size_t length, int bits);
};

} // namespace osk
