#include "standard/bit_shift.h"

#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";
const char* const kLeftWhat = "Cannot left shift by %1 bits.";
const char* const kRightWhat = "Cannot right shift by %1 bits.";
const char* const kNegativeWhy = "Negative shift is not supported.";
} // namespace

void CBitShift::left(uint8_t* buffer, size_t length, int bits)
{
    if (bits < 0) {
        throw OSK_EXCEPTION(CMessage(kLeftWhat).push(bits), CMessage(kNegativeWhy),
                            "CBitShift::left", kModule);
    }
    const size_t byteShift = static_cast<size_t>(bits) / 8;
    const unsigned bitShift = static_cast<unsigned>(bits) % 8;
    if (byteShift >= length) {
        std::memset(buffer, 0, length);
        return;
    }
    // Byte 0 is the most significant: bits move towards lower indexes.
    for (size_t i = 0; i + byteShift < length; ++i) {
        const size_t source = i + byteShift;
        unsigned value = static_cast<unsigned>(buffer[source]) << bitShift;
        if (bitShift && source + 1 < length) value |= buffer[source + 1] >> (8 - bitShift);
        buffer[i] = static_cast<uint8_t>(value);
    }
    std::memset(buffer + length - byteShift, 0, byteShift);
}

void CBitShift::right(uint8_t* buffer, size_t length, int bits)
{
    if (bits < 0) {
        throw OSK_EXCEPTION(CMessage(kRightWhat).push(bits), CMessage(kNegativeWhy),
                            "CBitShift::right", kModule);
    }
    const size_t byteShift = static_cast<size_t>(bits) / 8;
    const unsigned bitShift = static_cast<unsigned>(bits) % 8;
    if (byteShift >= length) {
        std::memset(buffer, 0, length);
        return;
    }
    for (size_t i = length; i-- > byteShift;) {
        const size_t source = i - byteShift;
        unsigned value = static_cast<unsigned>(buffer[source]) >> bitShift;
        if (bitShift && source > 0) value |= static_cast<unsigned>(buffer[source - 1]) << (8 - bitShift);
        buffer[i] = static_cast<uint8_t>(value);
    }
    std::memset(buffer, 0, byteShift);
}

} // namespace osk
