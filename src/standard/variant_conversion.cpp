#include "standard/variant_conversion.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "extended/exception.h"
#include "standard/variant.h"
#include "standard/variant_text.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CVariantConversion.
const char* const kCannotConvert = "Cannot convert from type '%1' to '%2'.";
const char* const kInvalidConversion = "Invalid conversion.";
const char* const kCannotConvertValue = "Cannot convert variant value '%1' to type '%2'.";
const char* const kNotAnInteger = "Value is not an integer.";
const char* const kBytesToInteger = "Cannot convert byte sequence '%1' to an integer.";
const char* const kBytesToUInteger = "Cannot convert byte sequence '%1' to an unsigned integer.";
const char* const kIntegerOverflow = "Integer overflow.";
const char* const kBytesToTime = "Cannot convert byte sequence '%1' to a time value.";
const char* const kInvalidSize = "Invalid size.";

using data_type = CVariantType::data_type;
using data_subtype = CVariantSubType::data_subtype;

// Writes value big-endian into the last `length` bytes it occupies.
CHexStore bigEndian(uint64_t value, size_t length)
{
    uint8_t bytes[8];
    for (size_t i = 0; i < length; ++i) bytes[length - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
    return CHexStore(bytes, length);
}

// The fewest of 1, 2, 3, 4, 5, 6 or 8 bytes that hold the value; 7 bytes are
// rounded up to 8. A negative integer keeps all 8 bytes of its two's
// complement so it reads back unchanged.
CHexStore shortestBigEndian(uint64_t value)
{
    size_t length = 1;
    while (length < 8 && (value >> (8 * length)) != 0) ++length;
    if (length == 7) length = 8;
    return bigEndian(value, length);
}

uint64_t readBigEndian(const uint8_t* bytes, size_t length)
{
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) value = (value << 8) | bytes[i];
    return value;
}

// The low 64 bits of an address as a number (an IPv4 address: all 32).
uint64_t addressNumber(const CIPAddress& address)
{
    const size_t length = address.raw_len();
    const size_t used = length < 8 ? length : 8;
    return readBigEndian(address.raw_addr() + length - used, used);
}

// An address of the family the subtype names (IPv4 unless st_ipv6) holding
// the number modulo 2^width. A signed number is sign-extended first, so -1 is
// the all-ones address of either family.
CIPAddress numberAddress(uint64_t bits, bool negative, data_subtype subtype)
{
    if (subtype == CVariantSubType::st_ipv6) {
        uint8_t bytes[16];
        for (size_t i = 0; i < 8; ++i) bytes[i] = negative ? 0xFF : 0x00;
        for (size_t i = 0; i < 8; ++i) bytes[15 - i] = static_cast<uint8_t>(bits >> (8 * i));
        return CIPAddress(bytes, 16);
    }
    return CIPAddress(static_cast<uint32_t>(bits), CIPAddress::ipv4);
}

// An address re-mapped to the family the subtype names (unchanged for a
// subtype that names none).
CIPAddress remapped(const CIPAddress& address, data_subtype subtype)
{
    if (!CVariantSubType::isAddressFamily(subtype)) return address;
    return address.mapTo(CVariantSubType::addressType(subtype));
}

[[noreturn]] void throwNotInteger(const std::string& text, data_type target)
{
    throw OSK_EXCEPTION(CMessage(kCannotConvertValue).pushs(text).pushs(CVariantType::name(target)),
                        CMessage(kNotAnInteger), "CVariantConversion::convert", kModule);
}

// Reads the text as "%li" does (decimal, 0 octal, 0x hexadecimal, optional
// sign, leading blanks, trailing text ignored); strtoll clamps an out-of-range
// value as the scanf family does here.
int64_t scanSigned(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 0);
    if (end == begin) throwNotInteger(text, CVariantType::t_integer);
    return static_cast<int64_t>(value);
}

// "%lu": as above; a leading minus negates modulo 2^64.
uint64_t scanUnsigned(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(begin, &end, 0);
    if (end == begin) throwNotInteger(text, CVariantType::t_uinteger);
    return static_cast<uint64_t>(value);
}

// Conversion routines, named source_target. Each computes the new value
// before it stores it, so a throwing routine leaves the variant unchanged.

void same(CVariant&, data_subtype, const char*) {}

// A forbidden cell holds no routine; convert reports it with both types.
constexpr CVariantConversion::routine_t forbidden = nullptr;

void unknown_boolean(CVariant& v, data_subtype, const char*) { v.boolean(false); }
void unknown_string(CVariant& v, data_subtype, const char*) { v.string(std::string(), CVariantSubType::st_general); }

void ipaddress_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    const CIPAddress address = v.ipaddress();
    if (CVariantSubType::isAddressFamily(subtype) && CVariantSubType::addressType(subtype) != address.type())
        v.ipaddress(remapped(address, subtype));
}
void ipaddress_boolean(CVariant& v, data_subtype, const char*) { v.boolean(v.ipaddress().isValid()); }
void ipaddress_string(CVariant& v, data_subtype, const char*)
{
    v.string(v.ipaddress().string(), CVariantSubType::st_general);
}
void ipaddress_hexstore(CVariant& v, data_subtype, const char*)
{
    CHexStore bytes;
    bytes = v.ipaddress();
    v.hexstore(bytes);
}
void ipaddress_integer(CVariant& v, data_subtype, const char*)
{
    v.integer(static_cast<int64_t>(addressNumber(v.ipaddress())));
}
void ipaddress_endpoint(CVariant& v, data_subtype, const char*) { v.endpoint(CEndpoint(v.ipaddress(), 0)); }
void ipaddress_uinteger(CVariant& v, data_subtype, const char*) { v.uinteger(addressNumber(v.ipaddress())); }

void boolean_string(CVariant& v, data_subtype, const char*)
{
    v.string(v.boolean() ? "true" : "false", CVariantSubType::st_general);
}
void boolean_hexstore(CVariant& v, data_subtype, const char*)
{
    const uint8_t byte = v.boolean() ? 1 : 0;
    v.hexstore(CHexStore(&byte, 1));
}
void boolean_integer(CVariant& v, data_subtype, const char*) { v.integer(v.boolean() ? 1 : 0); }
void boolean_uinteger(CVariant& v, data_subtype, const char*) { v.uinteger(v.boolean() ? 1 : 0); }

void time_boolean(CVariant& v, data_subtype, const char*) { v.boolean(v.time().seconds() != 0); }
void time_string(CVariant& v, data_subtype, const char*)
{
    v.string(v.time().string(), CVariantSubType::st_general);
}
void time_hexstore(CVariant& v, data_subtype, const char*)
{
    v.hexstore(bigEndian(static_cast<uint64_t>(v.time().seconds()), 8));
}
void time_integer(CVariant& v, data_subtype, const char*) { v.integer(v.time().seconds()); }
void time_uinteger(CVariant& v, data_subtype, const char*)
{
    v.uinteger(static_cast<uint64_t>(v.time().seconds()));
}

void string_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    v.ipaddress(remapped(CIPAddress(CVariantText::trimAddress(v.string())), subtype));
}
void string_boolean(CVariant& v, data_subtype, const char*)
{
    const std::string& text = v.string();
    v.boolean(!text.empty() && !CVariantText::equalsNoCase(text, "false"));
}
void string_time(CVariant& v, data_subtype, const char*) { v.time(CTimeT(v.string())); }
void string_hexstore(CVariant& v, data_subtype, const char*)
{
    const std::string text = v.string();
    v.hexstore(CHexStore(text.data(), text.size()));
}
void string_integer(CVariant& v, data_subtype, const char*) { v.integer(scanSigned(v.string())); }
void string_endpoint(CVariant& v, data_subtype, const char*) { v.endpoint(CEndpoint(v.string())); }
void string_uinteger(CVariant& v, data_subtype, const char*) { v.uinteger(scanUnsigned(v.string())); }

void hexstore_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    const CHexStore bytes = v.hexstore();
    v.ipaddress(remapped(CIPAddress(bytes.buffer(), bytes.size()), subtype));
}
void hexstore_boolean(CVariant& v, data_subtype, const char*) { v.boolean(!v.hexstore().empty()); }
void hexstore_time(CVariant& v, data_subtype, const char*)
{
    const CHexStore bytes = v.hexstore();
    if (bytes.size() != 8)
        throw OSK_EXCEPTION(CMessage(kBytesToTime).pushs(bytes.string()), CMessage(kInvalidSize),
                            "CVariantConversion::convert", kModule);
    v.time(CTimeT(static_cast<int64_t>(readBigEndian(bytes.buffer(), 8))));
}
void hexstore_string(CVariant& v, data_subtype, const char* hint)
{
    CHexStore bytes = v.hexstore();
    if (hint) bytes.separator(hint);
    v.string(bytes.string(), CVariantSubType::st_general);
}
uint64_t hexstoreNumber(const CHexStore& bytes, const char* what)
{
    if (bytes.size() > 8)
        throw OSK_EXCEPTION(CMessage(what).pushs(bytes.string()), CMessage(kIntegerOverflow),
                            "CVariantConversion::convert", kModule);
    return readBigEndian(bytes.buffer(), bytes.size());
}
void hexstore_integer(CVariant& v, data_subtype, const char*)
{
    v.integer(static_cast<int64_t>(hexstoreNumber(v.hexstore(), kBytesToInteger)));
}
void hexstore_uinteger(CVariant& v, data_subtype, const char*)
{
    v.uinteger(hexstoreNumber(v.hexstore(), kBytesToUInteger));
}

void integer_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    const int64_t value = v.integer();
    v.ipaddress(numberAddress(static_cast<uint64_t>(value), value < 0, subtype));
}
void integer_boolean(CVariant& v, data_subtype, const char*) { v.boolean(v.integer() > 0); }
void integer_time(CVariant& v, data_subtype, const char*) { v.time(CTimeT(v.integer())); }
void integer_string(CVariant& v, data_subtype, const char*)
{
    v.string(std::to_string(v.integer()), CVariantSubType::st_general);
}
void integer_hexstore(CVariant& v, data_subtype, const char*)
{
    v.hexstore(shortestBigEndian(static_cast<uint64_t>(v.integer())));
}
void integer_uinteger(CVariant& v, data_subtype, const char*) { v.uinteger(static_cast<uint64_t>(v.integer())); }

void endpoint_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    v.ipaddress(remapped(v.endpoint().ip_address(), subtype));
}
void endpoint_string(CVariant& v, data_subtype, const char*)
{
    v.string(v.endpoint().string(), CVariantSubType::st_general);
}

void uinteger_ipaddress(CVariant& v, data_subtype subtype, const char*)
{
    v.ipaddress(numberAddress(v.uinteger(), false, subtype));
}
void uinteger_boolean(CVariant& v, data_subtype, const char*) { v.boolean(v.uinteger() != 0); }
void uinteger_time(CVariant& v, data_subtype, const char*) { v.time(CTimeT(static_cast<int64_t>(v.uinteger()))); }
void uinteger_string(CVariant& v, data_subtype, const char*)
{
    v.string(std::to_string(v.uinteger()), CVariantSubType::st_general);
}
void uinteger_hexstore(CVariant& v, data_subtype, const char*) { v.hexstore(shortestBigEndian(v.uinteger())); }
void uinteger_integer(CVariant& v, data_subtype, const char*) { v.integer(static_cast<int64_t>(v.uinteger())); }
} // namespace

CVariantConversion::routine_t CVariantConversion::_table[CVariantType::count][CVariantType::count];

CVariantConversion::initializer::initializer()
{
    // Rows: source type; columns: target type, both in data_type order
    // (unknown, ip address, boolean, time, string, byte sequence, integer,
    // endpoint, uinteger).
    static const routine_t table[CVariantType::count][CVariantType::count] = {
        {same, forbidden, unknown_boolean, forbidden, unknown_string, forbidden, forbidden, forbidden,
         forbidden},
        {forbidden, ipaddress_ipaddress, ipaddress_boolean, forbidden, ipaddress_string, ipaddress_hexstore,
         ipaddress_integer, ipaddress_endpoint, ipaddress_uinteger},
        {forbidden, forbidden, same, forbidden, boolean_string, boolean_hexstore, boolean_integer, forbidden,
         boolean_uinteger},
        {forbidden, forbidden, time_boolean, same, time_string, time_hexstore, time_integer, forbidden,
         time_uinteger},
        {forbidden, string_ipaddress, string_boolean, string_time, same, string_hexstore, string_integer,
         string_endpoint, string_uinteger},
        {forbidden, hexstore_ipaddress, hexstore_boolean, hexstore_time, hexstore_string, same, hexstore_integer,
         forbidden, hexstore_uinteger},
        {forbidden, integer_ipaddress, integer_boolean, integer_time, integer_string, integer_hexstore, same,
         forbidden, integer_uinteger},
        {forbidden, endpoint_ipaddress, forbidden, forbidden, endpoint_string, forbidden, forbidden, same,
         forbidden},
        {forbidden, uinteger_ipaddress, uinteger_boolean, uinteger_time, uinteger_string, uinteger_hexstore,
         uinteger_integer, forbidden, same},
    };
    for (unsigned from = 0; from < CVariantType::count; ++from)
        for (unsigned to = 0; to < CVariantType::count; ++to) _table[from][to] = table[from][to];
}

void CVariantConversion::convert(CVariant& value, CVariantType::data_type type, CVariantSubType::data_subtype subtype,
                                 const char* hint)
{
    static const initializer filled;
    const CVariantType::data_type source = value.type();
    const routine_t routine =
        source < CVariantType::count && type < CVariantType::count ? _table[source][type] : forbidden;
    if (!routine)
        throw OSK_EXCEPTION(CMessage(kCannotConvert).pushs(CVariantType::name(source)).pushs(CVariantType::name(type)),
                            CMessage(kInvalidConversion), "CVariantConversion::convert", kModule);
    routine(value, subtype, hint);
}

} // namespace osk
