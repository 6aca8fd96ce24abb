#include "standard/ip_address.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CIPAddress.
const char* const kCannotCreate = "Cannot create an ip address.";
const char* const kNotValidText = "Text '%1' is not a valid IP address.";
const char* const kBadRawLength = "Raw address length %1 is neither 4 nor 16 bytes.";
const char* const kIllegalOperation = "Illegal operation.";
const char* const kUnknownSerialize = "Unknown address types cannot be serialized.";
const char* const kUnknownOperate = "Unknown address types cannot take part in operations.";
const char* const kTypeMismatch = "Type mismatch between ip addresses.";
const char* const kNtop4Failed = "Failed to convert ipv4 address to text.";
const char* const kNtop6Failed = "Failed to convert ipv6 address to text.";
const char* const kCannotMapTo4 = "Cannot map address %1 to ipv4.";
const char* const kNotMapped = "Address is not a v6-mapped-v4 address.";
const char* const kUnknownMap = "Unknown address type cannot be mapped to another type.";
const char* const kCannotMapToType = "Cannot map address %1 to type %2.";
const char* const kUnknownTargetType = "The target address type is unknown.";
const char* const kCannotPrefix = "Cannot create prefix from ip address.";
const char* const kTooFewBits = "Address contains less than %1 bits.";
const char* const kCannotPrefixLen = "Cannot calculate prefix length from subnet mask.";
const char* const kBadMask = "Subnet mask is invalid.";
const char* const kWrongFamily = "Address %1 is not of the requested family.";

// The first 12 bytes of a v4-mapped IPv6 address.
const uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
} // namespace

CIPAddress::CIPAddress(const std::string& text)
{
    set(text);
}

CIPAddress::CIPAddress(const char* text)
{
    set(std::string(text ? text : ""));
}

CIPAddress::CIPAddress(const void* bytes, size_t length)
{
    set(bytes, length);
}

CIPAddress::CIPAddress(const in_addr& address)
{
    set(&address.s_addr, 4);
}

CIPAddress::CIPAddress(const in6_addr& address)
{
    set(address.s6_addr, 16);
}

CIPAddress::CIPAddress(uint32_t number, addr_type_t type)
{
    if (type != ipv4 && type != ipv6) return;
    _type = type;
    const size_t last = raw_len() - 1;
    for (size_t i = 0; i < 4; ++i) _bytes[last - i] = static_cast<uint8_t>(number >> (8 * i));
}

CIPAddress::CIPAddress(addr_type_t type)
{
    if (type == ipv4 || type == ipv6) _type = type;
}

size_t CIPAddress::raw_len() const
{
    return _type == ipv4 ? 4 : _type == ipv6 ? 16 : 0;
}

bool CIPAddress::isValid(const std::string& text)
{
    CIPAddress address;
    address._parse(text);
    return address.isValid();
}

void CIPAddress::set(const void* bytes, size_t length)
{
    if (!bytes || (length != 4 && length != 16)) {
        clear();
        throw OSK_EXCEPTION(CMessage(kCannotCreate), CMessage(kBadRawLength).push(length),
                            "CIPAddress::set", kModule);
    }
    // Copies of a fixed length compile to a few moves; every datagram's
    // source address passes through here.
    if (length == 4) {
        _bytes.fill(0);
        std::memcpy(_bytes.data(), bytes, 4);
        _type = ipv4;
    } else {
        std::memcpy(_bytes.data(), bytes, 16);
        _type = ipv6;
    }
}

void CIPAddress::set(const std::string& text)
{
    _parse(text);
    if (!isValid())
        throw OSK_EXCEPTION(CMessage(kCannotCreate), CMessage(kNotValidText).pushs(text),
                            "CIPAddress::set", kModule);
}

void CIPAddress::clear()
{
    _type = unknown;
    _bytes.fill(0);
}

void CIPAddress::set_inaddr_any()
{
    if (!isValid()) _type = ipv4;
    _bytes.fill(0);
}

void CIPAddress::setLoopback()
{
    set_inaddr_any();
    if (_type == ipv4) {
        _bytes[0] = 127;
        _bytes[3] = 1;
    } else {
        _bytes[15] = 1;
    }
}

void CIPAddress::_parse(const std::string& text)
{
    clear();
    if (text.find(':') != std::string::npos) {
        // inet_pton reads up to the first NUL; an embedded NUL would let
        // trailing garbage through.
        if (text.find('\0') != std::string::npos) return;
        in6_addr address;
        if (inet_pton(AF_INET6, text.c_str(), &address) == 1) set(address.s6_addr, 16);
        return;
    }
    _parseIPv4(text);
}

bool CIPAddress::_parseIPv4(const std::string& text)
{
    // Dotted quad only: four parts of 1 to 3 decimal digits, each at most
    // 255; leading zeros are decimal (inet_pton would reject them and
    // inet_aton would read them as octal).
    if (text.size() > 15) return false;
    uint8_t bytes[4];
    size_t part = 0;
    size_t digits = 0;
    unsigned value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            if (++digits > 3) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
            continue;
        }
        if (c != '.' || digits == 0 || value > 255 || part == 4) return false;
        bytes[part++] = static_cast<uint8_t>(value);
        digits = 0;
        value = 0;
    }
    if (part != 4) return false;
    set(bytes, 4);
    return true;
}

int CIPAddress::addr_family() const
{
    return _type == ipv4 ? AF_INET : _type == ipv6 ? AF_INET6 : AF_UNSPEC;
}

uint32_t CIPAddress::numeric() const
{
    _checkKnown("CIPAddress::numeric");
    const size_t last = raw_len() - 1;
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = (value << 8) | _bytes[last - 3 + i];
    return value;
}

bool CIPAddress::isLoopback() const
{
    if (_type == ipv4) return _bytes[0] == 127;
    if (_type == ipv6) return *this == CIPAddress(1u, ipv6);
    return false;
}

bool CIPAddress::isAny() const
{
    if (!isValid()) return false;
    for (size_t i = 0; i < raw_len(); ++i)
        if (_bytes[i] != 0) return false;
    return true;
}

in_addr CIPAddress::inAddr() const
{
    if (_type != ipv4)
        throw OSK_EXCEPTION(CMessage(kIllegalOperation),
                            CMessage(kWrongFamily).pushs(isValid() ? string() : "(unset)"),
                            "CIPAddress::inAddr", kModule);
    in_addr address;
    std::memcpy(&address.s_addr, _bytes.data(), 4);
    return address;
}

in6_addr CIPAddress::in6Addr() const
{
    if (_type != ipv6)
        throw OSK_EXCEPTION(CMessage(kIllegalOperation),
                            CMessage(kWrongFamily).pushs(isValid() ? string() : "(unset)"),
                            "CIPAddress::in6Addr", kModule);
    in6_addr address;
    std::memcpy(address.s6_addr, _bytes.data(), 16);
    return address;
}

std::string CIPAddress::string() const
{
    char text[INET6_ADDRSTRLEN];
    if (_type == ipv4) {
        if (!inet_ntop(AF_INET, _bytes.data(), text, sizeof(text)))
            throw OSK_EXCEPTION(CMessage(kNtop4Failed), CMessage(), "CIPAddress::string", kModule);
        return text;
    }
    if (_type == ipv6) {
        if (!inet_ntop(AF_INET6, _bytes.data(), text, sizeof(text)))
            throw OSK_EXCEPTION(CMessage(kNtop6Failed), CMessage(), "CIPAddress::string", kModule);
        return text;
    }
    throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kUnknownSerialize), "CIPAddress::string",
                        kModule);
}

std::string CIPAddress::fat_string() const
{
    // Written digit by digit: the same text as "%03u.%03u.%03u.%03u" and
    // eight ":"-joined "%04x" groups, without a printf call per part.
    static const char hex[] = "0123456789abcdef";
    if (_type == ipv4) {
        std::string text(15, '.');
        for (size_t part = 0; part < 4; ++part) {
            const unsigned value = _bytes[part];
            text[part * 4] = static_cast<char>('0' + value / 100);
            text[part * 4 + 1] = static_cast<char>('0' + value / 10 % 10);
            text[part * 4 + 2] = static_cast<char>('0' + value % 10);
        }
        return text;
    }
    if (_type == ipv6) {
        std::string text(39, ':');
        for (size_t group = 0; group < 8; ++group) {
            const uint8_t high = _bytes[2 * group];
            const uint8_t low = _bytes[2 * group + 1];
            text[group * 5] = hex[high >> 4];
            text[group * 5 + 1] = hex[high & 15];
            text[group * 5 + 2] = hex[low >> 4];
            text[group * 5 + 3] = hex[low & 15];
        }
        return text;
    }
    throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kUnknownSerialize),
                        "CIPAddress::fat_string", kModule);
}

CIPAddress CIPAddress::mapTo(uint8_t type) const
{
    if (!isValid())
        throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kUnknownMap), "CIPAddress::mapTo", kModule);
    if (type == _type) return *this;
    if (type == ipv6) {
        uint8_t bytes[16];
        std::memcpy(bytes, kMappedPrefix, sizeof(kMappedPrefix));
        std::memcpy(bytes + 12, _bytes.data(), 4);
        return CIPAddress(bytes, 16);
    }
    if (type == ipv4) {
        if (!isMappedIPv4())
            throw OSK_EXCEPTION(CMessage(kCannotMapTo4).pushs(string()), CMessage(kNotMapped),
                                "CIPAddress::mapTo", kModule);
        return CIPAddress(_bytes.data() + 12, 4);
    }
    throw OSK_EXCEPTION(CMessage(kCannotMapToType).pushs(string()).push(static_cast<unsigned>(type)),
                        CMessage(kUnknownTargetType), "CIPAddress::mapTo", kModule);
}

CIPAddress CIPAddress::createPrefix(unsigned bits) const
{
    if (bits > bit_len() || !isValid())
        throw OSK_EXCEPTION(CMessage(kCannotPrefix), CMessage(kTooFewBits).push(bits),
                            "CIPAddress::createPrefix", kModule);
    CIPAddress prefix(*this);
    for (size_t i = 0; i < raw_len(); ++i) {
        const size_t firstBit = i * 8;
        if (firstBit >= bits) {
            prefix._bytes[i] = 0;
        } else if (bits - firstBit < 8) {
            prefix._bytes[i] &= static_cast<uint8_t>(0xff00u >> (bits - firstBit));
        }
    }
    return prefix;
}

unsigned CIPAddress::prefixLenFromMask(const CIPAddress& mask)
{
    if (!mask.isValid())
        throw OSK_EXCEPTION(CMessage(kCannotPrefixLen), CMessage(kBadMask), "CIPAddress::prefixLenFromMask",
                            kModule);
    unsigned bits = 0;
    size_t i = 0;
    const size_t length = mask.raw_len();
    for (; i < length && mask._bytes[i] == 0xff; ++i) bits += 8;
    if (i < length) {
        const uint8_t partial = mask._bytes[i];
        // A valid partial byte is a run of ones from the top: its inverse
        // plus one is a power of two.
        const unsigned inverse = static_cast<uint8_t>(~partial);
        if (((inverse + 1) & inverse) != 0)
            throw OSK_EXCEPTION(CMessage(kCannotPrefixLen), CMessage(kBadMask),
                                "CIPAddress::prefixLenFromMask", kModule);
        for (uint8_t b = partial; b & 0x80; b = static_cast<uint8_t>(b << 1)) ++bits;
        for (++i; i < length; ++i)
            if (mask._bytes[i] != 0)
                throw OSK_EXCEPTION(CMessage(kCannotPrefixLen), CMessage(kBadMask),
                                    "CIPAddress::prefixLenFromMask", kModule);
    }
    return bits;
}

CIPAddress CIPAddress::maskFromPrefixLen(uint8_t type, unsigned bits)
{
    CIPAddress mask(type == ipv4 ? ipv4 : type == ipv6 ? ipv6 : unknown);
    return (~mask).createPrefix(bits);
}

void CIPAddress::_checkKnown(const char* context) const
{
    if (!isValid())
        throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kUnknownOperate), context, kModule);
}

void CIPAddress::_checkSameType(const CIPAddress& other, const char* context) const
{
    if (_type != other._type)
        throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kTypeMismatch), context, kModule);
    _checkKnown(context);
}

CIPAddress& CIPAddress::operator&=(const CIPAddress& other)
{
    _checkSameType(other, "CIPAddress::operator&");
    for (size_t i = 0; i < raw_len(); ++i) _bytes[i] &= other._bytes[i];
    return *this;
}

CIPAddress& CIPAddress::operator|=(const CIPAddress& other)
{
    _checkSameType(other, "CIPAddress::operator|");
    for (size_t i = 0; i < raw_len(); ++i) _bytes[i] |= other._bytes[i];
    return *this;
}

CIPAddress& CIPAddress::operator^=(const CIPAddress& other)
{
    _checkSameType(other, "CIPAddress::operator^");
    for (size_t i = 0; i < raw_len(); ++i) _bytes[i] ^= other._bytes[i];
    return *this;
}

CIPAddress& CIPAddress::operator+=(const CIPAddress& other)
{
    _checkSameType(other, "CIPAddress::operator+");
    unsigned carry = 0;
    for (size_t i = raw_len(); i-- > 0;) {
        const unsigned sum = static_cast<unsigned>(_bytes[i]) + other._bytes[i] + carry;
        _bytes[i] = static_cast<uint8_t>(sum);
        carry = sum >> 8;
    }
    return *this;
}

CIPAddress& CIPAddress::operator-=(const CIPAddress& other)
{
    _checkSameType(other, "CIPAddress::operator-");
    int borrow = 0;
    for (size_t i = raw_len(); i-- > 0;) {
        int difference = static_cast<int>(_bytes[i]) - other._bytes[i] - borrow;
        borrow = difference < 0 ? 1 : 0;
        if (borrow) difference += 256;
        _bytes[i] = static_cast<uint8_t>(difference);
    }
    return *this;
}

CIPAddress CIPAddress::operator~() const
{
    _checkKnown("CIPAddress::operator~");
    CIPAddress inverse(*this);
    for (size_t i = 0; i < raw_len(); ++i) inverse._bytes[i] = static_cast<uint8_t>(~_bytes[i]);
    return inverse;
}

CIPAddress& CIPAddress::operator++()
{
    _checkKnown("CIPAddress::operator++");
    return *this += CIPAddress(1u, static_cast<addr_type_t>(_type));
}

CIPAddress CIPAddress::operator++(int)
{
    CIPAddress previous(*this);
    ++*this;
    return previous;
}

CIPAddress& CIPAddress::operator--()
{
    _checkKnown("CIPAddress::operator--");
    return *this -= CIPAddress(1u, static_cast<addr_type_t>(_type));
}

CIPAddress CIPAddress::operator--(int)
{
    CIPAddress previous(*this);
    --*this;
    return previous;
}

} // namespace osk
