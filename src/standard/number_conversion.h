#pragma once

#include <cstdint>
#include <string>

namespace osk {

// Validates a number text (optional surrounding blanks, an optional sign,
// digits of the given base) and reads it into a checked integer type. Every
// reader throws osk::CException when the text is not a number or the value
// does not fit the type; the unsigned readers also refuse a text with a
// sign, "+" included.
class CNumberConversion {
public:
    // base is 2..36; base 16 also accepts a "0x"/"0X" prefix after the sign.
    explicit CNumberConversion(const std::string& text, int base = 10);

    // The whole text is a number that toDouble() reads (an integer of the
    // base, or for base 10 a decimal fraction with optional exponent).
    bool isNumber() const { return _isNumber; }
    // The whole text is an integer of the base.
    bool isValid() const { return _isValid; }
    // The text carries a sign character ("+" or "-").
    bool isSigned() const { return _sign != 0; }
    bool isNegative() const { return _sign == '-'; }
    // The magnitude of an integer text; throws when it is not an integer or
    // exceeds 64 bits.
    uint64_t absValue() const;

    int8_t toInt8() const;
    int16_t toInt16() const;
    int32_t toInt32() const;
    int64_t toInt64() const;
    short toShort() const;
    int toInt() const;
    uint8_t toUInt8() const;
    uint16_t toUInt16() const;
    uint32_t toUInt32() const;
    uint64_t toUInt64() const;
    unsigned short toUShort() const;
    unsigned int toUInt() const;
    float toFloat() const;
    double toDouble() const;

    const std::string& text() const { return _text; }
    int base() const { return _base; }

    // Decimal text of a value.
    static std::string toString(int64_t value);
    static std::string toString(uint64_t value);

private:
    int64_t _signed(unsigned bits, const char* context) const;
    uint64_t _unsigned(unsigned bits, const char* context) const;
    uint64_t _magnitude(const char* context) const;
    [[noreturn]] void _throwNotNumber(const char* context) const;
    [[noreturn]] void _throwOverflow(unsigned bits, const char* context) const;

    std::string _text;    // as given, for messages
    std::string _digits;  // the digits alone, prefix and sign removed
    int _base = 10;
    char _sign = 0;       // 0, '+' or '-'
    bool _isValid = false;
    bool _isNumber = false;
};

} // namespace osk
