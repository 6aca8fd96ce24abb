#pragma once

#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "standard/object.h"

namespace osk {

// An IPv4 or IPv6 address kept as raw bytes in network byte order, with a
// strict text syntax, arithmetic, masks and prefixes. An address of type 255
// is unset (or the result of failed parsing) and refuses every operation
// that needs a width.
class CIPAddress : public CObject {
public:
    enum addr_type_t : uint8_t { ipv4 = 4, ipv6 = 6, unknown = 255 };
    static constexpr size_t maxRawLen = 16;

    // Unset address (type 255).
    CIPAddress() = default;
    // Parses text; throws "Cannot create an ip address." when it is not an
    // address (IPv4 dotted quad or, when it contains ":", IPv6).
    explicit CIPAddress(const std::string& text);
    explicit CIPAddress(const char* text);
    // Raw bytes in network byte order: 4 bytes are IPv4, 16 are IPv6.
    CIPAddress(const void* bytes, size_t length);
    explicit CIPAddress(const in_addr& address);
    explicit CIPAddress(const in6_addr& address);
    // A number in host byte order placed in the low 32 bits of an address
    // of the given type (IPv4: the whole address).
    CIPAddress(uint32_t number, addr_type_t type);
    // The all-zero address of a type (4 or 6; anything else is unset).
    explicit CIPAddress(addr_type_t type);

    std::string typeName() const override { return "osk::CIPAddress"; }

    uint8_t type() const { return _type; }
    const uint8_t* raw_addr() const { return _bytes.data(); }
    // 4, 16, or 0 for an unset address.
    size_t raw_len() const;
    size_t bit_len() const { return raw_len() * 8; }
    bool isValid() const { return _type == ipv4 || _type == ipv6; }
    // True when the text parses as an address; never throws.
    static bool isValid(const std::string& text);

    // Replaces the address with raw bytes (4 or 16).
    void set(const void* bytes, size_t length);
    // Replaces the address with parsed text (throws like the constructor).
    void set(const std::string& text);
    // Absorbs a text form: the same as set(text).
    void string(const std::string& text) override { set(text); }
    // Zero address of the current type (IPv4 when unset).
    void set_inaddr_any();
    // 127.0.0.1 or ::1 for the current type (IPv4 when unset).
    void setLoopback();
    void clear();

    // AF_INET, AF_INET6, or AF_UNSPEC for an unset address.
    int addr_family() const;
    // The address as a number in host byte order: an IPv4 address as its
    // 32-bit value; of an IPv6 address the low 32 bits.
    uint32_t numeric() const;
    bool isLoopback() const;
    bool isAny() const;

    // Copies into system structures; throws "Illegal operation." when the
    // type does not match.
    in_addr inAddr() const;
    in6_addr in6Addr() const;

    // The system's text form (inet_ntop).
    std::string string() const override;
    // Fixed width for sorting as text: "010.000.000.001", or eight groups of
    // four hex digits without compression.
    std::string fat_string() const;

    // IPv4 -> IPv6 gives ::ffff:a.b.c.d; IPv6 -> IPv4 only from such an
    // address. Mapping to the own type returns a copy.
    CIPAddress mapTo(uint8_t type) const;
    // ::ffff:a.b.c.d. Inline, because a dual-stack socket's every datagram
    // comes from such an address.
    bool isMappedIPv4() const
    {
        if (_type != ipv6) return false;
        uint64_t zeros;
        uint32_t ones;
        std::memcpy(&zeros, _bytes.data(), sizeof(zeros));
        std::memcpy(&ones, _bytes.data() + sizeof(zeros), sizeof(ones));
        return zeros == 0 && ones == htonl(0xffffu);
    }

    // Keeps the first bits bits and clears the rest.
    CIPAddress createPrefix(unsigned bits) const;
    // The number of leading one bits of a contiguous subnet mask.
    static unsigned prefixLenFromMask(const CIPAddress& mask);
    // The mask of a prefix length: the first bits bits set.
    static CIPAddress maskFromPrefixLen(uint8_t type, unsigned bits);

    // Ordered by type, then by bytes as an unsigned number.
    // Negative, zero or positive as this address orders before, with or
    // after other: by type, then byte by byte. Inline, because the engine's
    // transfer tables compare client addresses on every packet.
    int compare(const CIPAddress& other) const
    {
        if (_type != other._type) return _type < other._type ? -1 : 1;
        if (_type == ipv4) return compareBytes<4>(other);
        return _type == ipv6 ? compareBytes<16>(other) : 0;
    }
    bool operator==(const CIPAddress& other) const { return compare(other) == 0; }
    bool operator!=(const CIPAddress& other) const { return !(*this == other); }
    bool operator<(const CIPAddress& other) const { return compare(other) < 0; }
    bool operator>(const CIPAddress& other) const { return other < *this; }
    bool operator<=(const CIPAddress& other) const { return !(other < *this); }
    bool operator>=(const CIPAddress& other) const { return !(*this < other); }

    // Bitwise and arithmetic operations need two addresses of one type.
    // Addition and subtraction work modulo 2^width: a carry out of the most
    // significant byte is dropped (255.255.255.255 + 0.0.0.1 = 0.0.0.0).
    CIPAddress& operator&=(const CIPAddress& other);
    CIPAddress& operator|=(const CIPAddress& other);
    CIPAddress& operator^=(const CIPAddress& other);
    CIPAddress& operator+=(const CIPAddress& other);
    CIPAddress& operator-=(const CIPAddress& other);
    CIPAddress operator&(const CIPAddress& other) const { return CIPAddress(*this) &= other; }
    CIPAddress operator|(const CIPAddress& other) const { return CIPAddress(*this) |= other; }
    CIPAddress operator^(const CIPAddress& other) const { return CIPAddress(*this) ^= other; }
    CIPAddress operator+(const CIPAddress& other) const { return CIPAddress(*this) += other; }
    CIPAddress operator-(const CIPAddress& other) const { return CIPAddress(*this) -= other; }
    CIPAddress operator~() const;
    CIPAddress& operator++();
    CIPAddress operator++(int);
    CIPAddress& operator--();
    CIPAddress operator--(int);

private:
    // A memcmp of a length known here compiles to a few instructions.
    template <size_t length>
    int compareBytes(const CIPAddress& other) const
    {
        return std::memcmp(_bytes.data(), other._bytes.data(), length);
    }
    // Parses into this object; leaves type 255 when the text is invalid.
    void _parse(const std::string& text);
    bool _parseIPv4(const std::string& text);
    void _checkSameType(const CIPAddress& other, const char* context) const;
    void _checkKnown(const char* context) const;

    uint8_t _type = unknown;
    std::array<uint8_t, maxRawLen> _bytes{};
};

} // namespace osk
