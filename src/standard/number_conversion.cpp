#include "standard/number_conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "extended/exception.h"
#include "standard/string_util.h"

namespace osk {

namespace {
// User-visible texts of the number conversion.
const char* const kCannotDeserialize = "Cannot deserialize number '%1' from text.";
const char* const kNotValidNumber = "Value '%1' is not a valid number.";
const char* const kOverflowsBits = "Value '%1' overflows %2 bits.";
const char* const kOverflows32 = "Value '%1' overflows 32 bits.";
const char* const kOverflows16 = "Value '%1' overflows 16 bits.";
const char* const kOverflows8 = "Value '%1' overflows 8 bits.";
const char* const kAppearsSigned = "Invalid format '%1' appears signed.";
const char* const kModule = "standard";

int digitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// A base-10 decimal fraction with optional exponent: digits, at most one
// point, at least one digit, then e/E, optional sign and digits.
bool isDecimalFraction(const std::string& body)
{
    size_t i = 0;
    size_t digits = 0;
    bool point = false;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (c >= '0' && c <= '9') ++digits;
        else if (c == '.' && !point) point = true;
        else break;
    }
    if (digits == 0) return false;
    if (i == body.size()) return true;
    if (body[i] != 'e' && body[i] != 'E') return false;
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    const size_t expStart = i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i;
    return i == body.size() && i > expStart;
}
} // namespace

CNumberConversion::CNumberConversion(const std::string& text, int base) : _text(text), _base(base)
{
    if (base < 2 || base > 36) return;
    std::string body = CStringUtil::trim(text);
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        _sign = body[0];
        body.erase(0, 1);
    }
    std::string digits = body;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.erase(0, 2);
    bool valid = !digits.empty();
    for (char c : digits) {
        if (digitValue(c) >= base) {
            valid = false;
            break;
        }
    }
    if (valid) {
        _digits = digits;
        _isValid = true;
        _isNumber = true;
    } else if (base == 10) {
        _isNumber = isDecimalFraction(body);
    }
}

void CNumberConversion::_throwNotNumber(const char* context) const
{
    throw OSK_EXCEPTION(CMessage(kCannotDeserialize).pushs(_text), CMessage(kNotValidNumber).pushs(_text),
                        context, kModule);
}

void CNumberConversion::_throwOverflow(unsigned bits, const char* context) const
{
    CMessage why;
    switch (bits) {
    case 8: why = CMessage(kOverflows8); why.pushs(_text); break;
    case 16: why = CMessage(kOverflows16); why.pushs(_text); break;
    case 32: why = CMessage(kOverflows32); why.pushs(_text); break;
    default: why = CMessage(kOverflowsBits); why.pushs(_text).push(bits); break;
    }
    throw OSK_EXCEPTION(CMessage(kCannotDeserialize).pushs(_text), why, context, kModule);
}

uint64_t CNumberConversion::_magnitude(const char* context) const
{
    if (!_isValid) _throwNotNumber(context);
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    const uint64_t base = static_cast<uint64_t>(_base);
    uint64_t value = 0;
    for (char c : _digits) {
        const uint64_t digit = static_cast<uint64_t>(digitValue(c));
        if (value > (max - digit) / base) _throwOverflow(64, context);
        value = value * base + digit;
    }
    return value;
}

uint64_t CNumberConversion::absValue() const { return _magnitude("CNumberConversion::absValue"); }

int64_t CNumberConversion::_signed(unsigned bits, const char* context) const
{
    const uint64_t magnitude = _magnitude(context);
    const uint64_t limit = uint64_t(1) << (bits - 1); // |min|; max is limit - 1
    if (isNegative()) {
        if (magnitude > limit) _throwOverflow(bits, context);
        if (magnitude == limit) return bits == 64 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(limit);
        return -static_cast<int64_t>(magnitude);
    }
    if (magnitude > limit - 1) _throwOverflow(bits, context);
    return static_cast<int64_t>(magnitude);
}

uint64_t CNumberConversion::_unsigned(unsigned bits, const char* context) const
{
    if (!_isValid) _throwNotNumber(context);
    // Any sign makes a text signed, "+5" and "-0" as much as "-5": an
    // unsigned value is written with digits alone.
    if (isSigned()) {
        throw OSK_EXCEPTION(CMessage(kCannotDeserialize).pushs(_text), CMessage(kAppearsSigned).pushs(_text),
                            context, kModule);
    }
    const uint64_t magnitude = _magnitude(context);
    if (bits < 64 && magnitude > (uint64_t(1) << bits) - 1) _throwOverflow(bits, context);
    return magnitude;
}

int8_t CNumberConversion::toInt8() const { return static_cast<int8_t>(_signed(8, "CNumberConversion::toInt8")); }
int16_t CNumberConversion::toInt16() const { return static_cast<int16_t>(_signed(16, "CNumberConversion::toInt16")); }
int32_t CNumberConversion::toInt32() const { return static_cast<int32_t>(_signed(32, "CNumberConversion::toInt32")); }
int64_t CNumberConversion::toInt64() const { return _signed(64, "CNumberConversion::toInt64"); }
short CNumberConversion::toShort() const
{
    return static_cast<short>(_signed(8 * sizeof(short), "CNumberConversion::toShort"));
}
int CNumberConversion::toInt() const { return static_cast<int>(_signed(8 * sizeof(int), "CNumberConversion::toInt")); }
uint8_t CNumberConversion::toUInt8() const
{
    return static_cast<uint8_t>(_unsigned(8, "CNumberConversion::toUInt8"));
}
uint16_t CNumberConversion::toUInt16() const
{
    return static_cast<uint16_t>(_unsigned(16, "CNumberConversion::toUInt16"));
}
uint32_t CNumberConversion::toUInt32() const
{
    return static_cast<uint32_t>(_unsigned(32, "CNumberConversion::toUInt32"));
}
uint64_t CNumberConversion::toUInt64() const { return _unsigned(64, "CNumberConversion::toUInt64"); }
unsigned short CNumberConversion::toUShort() const
{
    return static_cast<unsigned short>(_unsigned(8 * sizeof(unsigned short), "CNumberConversion::toUShort"));
}
unsigned int CNumberConversion::toUInt() const
{
    return static_cast<unsigned int>(_unsigned(8 * sizeof(unsigned int), "CNumberConversion::toUInt"));
}

double CNumberConversion::toDouble() const
{
    const char* context = "CNumberConversion::toDouble";
    if (!_isNumber) _throwNotNumber(context);
    if (_base != 10) return isNegative() ? -static_cast<double>(_magnitude(context)) : static_cast<double>(_magnitude(context));
    const std::string body = CStringUtil::trim(_text);
    errno = 0;
    const double value = std::strtod(body.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(value)) _throwOverflow(64, context);
    return value;
}

float CNumberConversion::toFloat() const
{
    const double value = toDouble();
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        _throwOverflow(32, "CNumberConversion::toFloat");
    return static_cast<float>(value);
}

std::string CNumberConversion::toString(int64_t value) { return std::to_string(value); }
std::string CNumberConversion::toString(uint64_t value) { return std::to_string(value); }

} // namespace osk
