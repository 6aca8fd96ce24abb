#pragma once

#include <cstdint>

namespace osk {

// Host/network byte order. Network order is big-endian: on a little-endian
// host values wider than 8 bits are byte-swapped, on a big-endian host they
// pass unchanged. 8-bit values and bool always pass unchanged.
class CByteOrderConversion {
public:
    static constexpr bool bigEndian()
    {
        return __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
    }

    static bool hton(bool value) { return value; }
    static int8_t hton(int8_t value) { return value; }
    static uint8_t hton(uint8_t value) { return value; }
    static uint16_t hton(uint16_t value) { return _order(value); }
    static int16_t hton(int16_t value) { return static_cast<int16_t>(_order(static_cast<uint16_t>(value))); }
    static uint32_t hton(uint32_t value) { return _order(value); }
    static int32_t hton(int32_t value) { return static_cast<int32_t>(_order(static_cast<uint32_t>(value))); }
    static uint64_t hton(uint64_t value) { return _order(value); }
    static int64_t hton(int64_t value) { return static_cast<int64_t>(_order(static_cast<uint64_t>(value))); }

    // The swap is its own inverse.
    template <class T>
    static T ntoh(T value) { return hton(value); }

private:
    static uint16_t _order(uint16_t value) { return bigEndian() ? value : __builtin_bswap16(value); }
    static uint32_t _order(uint32_t value) { return bigEndian() ? value : __builtin_bswap32(value); }
    static uint64_t _order(uint64_t value) { return bigEndian() ? value : __builtin_bswap64(value); }
};

} // namespace osk
