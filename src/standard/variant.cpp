#include "standard/variant.h"
#include "standard/variant_text.h"

#include <cstring>
#include <limits>

#include "extended/exception.h"
#include "standard/number_conversion.h"
#include "standard/variant_conversion.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CVariant.
const char* const kCannotInterpret = "Cannot interpret variant.";
const char* const kEmptyValue = "Type cannot be deduced from an empty value.";
const char* const kIllegalOperation = "Illegal operation.";
const char* const kCannotPerform = "Cannot perform '%1' (%2) on %3 values.";
const char* const kUnknownLeft = "Left variant operand has unknown type.";
const char* const kCannotCompare = "Cannot compare variant values.";
const char* const kDivisionByZero = "Division by zero.";
const char* const kQuotientOverflow = "The quotient of the most negative integer and -1 does not fit 64 bits.";

// An operator as messages name it: the operation word and the symbol.
struct COperation {
    const char* word;
    const char* symbol;
};
const COperation kAddition = {"addition", "+"};
const COperation kSubtraction = {"subtraction", "-"};
const COperation kMultiplication = {"multiplication", "*"};
const COperation kDivision = {"division", "/"};
const COperation kBitwiseAnd = {"bitwise-and", "&"};
const COperation kBitwiseOr = {"bitwise-or", "|"};
const COperation kBitwiseXor = {"bitwise-xor", "^"};
const COperation kLessThan = {"less-than", "<"};
const COperation kUnaryNegation = {"unary-negation", "-"};
const COperation kBitwiseInverse = {"bitwise-inverse", "~"};

// The type word of operator messages ("variant" for an unknown type).
const char* typeWord(CVariantType::data_type type)
{
    switch (type) {
    case CVariantType::t_ipaddress: return "ip address";
    case CVariantType::t_boolean: return "boolean";
    case CVariantType::t_time: return "time";
    case CVariantType::t_string: return "string";
    case CVariantType::t_hexstore: return "byte sequence";
    case CVariantType::t_integer: return "integer";
    case CVariantType::t_endpoint: return "endpoint";
    case CVariantType::t_uinteger: return "uinteger";
    default: return "variant";
    }
}

CMessage performText(const COperation& operation, CVariantType::data_type type)
{
    return CMessage(kCannotPerform).pushs(operation.word).pushs(operation.symbol).pushs(typeWord(type));
}

[[noreturn]] void throwIllegal(const COperation& operation, CVariantType::data_type type, const char* context)
{
    throw OSK_EXCEPTION(CMessage(kIllegalOperation), performText(operation, type), context, kModule);
}

// Binary operators refuse a left operand of unknown type before they look
// at the right one.
void checkKnown(const CVariantType& type, const COperation& operation, const char* context)
{
    if (type == CVariantType::t_unknown)
        throw OSK_EXCEPTION(performText(operation, type), CMessage(kUnknownLeft), context, kModule);
}

// Wrapping arithmetic: computed on uint64_t, so overflow is defined and the
// result is the two's complement value modulo 2^64.
int64_t wrapAdd(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
int64_t wrapSub(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
int64_t wrapMul(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }
int64_t wrapNeg(int64_t a) { return static_cast<int64_t>(0 - static_cast<uint64_t>(a)); }

int64_t checkedDiv(int64_t a, int64_t b, CVariantType::data_type type, const char* context)
{
    if (b == 0) throw OSK_EXCEPTION(performText(kDivision, type), CMessage(kDivisionByZero), context, kModule);
    if (a == std::numeric_limits<int64_t>::min() && b == -1)
        throw OSK_EXCEPTION(performText(kDivision, type), CMessage(kQuotientOverflow), context, kModule);
    return a / b;
}

uint64_t checkedDiv(uint64_t a, uint64_t b, const char* context)
{
    if (b == 0)
        throw OSK_EXCEPTION(performText(kDivision, CVariantType::t_uinteger), CMessage(kDivisionByZero), context,
                            kModule);
    return a / b;
}

// A port text: decimal digits worth 1 to 65535, or zeros alone.
bool parsePort(const std::string& text, size_t begin, uint16_t& port)
{
    if (begin >= text.size()) return false;
    while (begin < text.size() && text[begin] == '0') ++begin;
    uint32_t value = 0;
    size_t digits = 0;
    for (size_t i = begin; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || ++digits > 5) return false;
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (value > 65535) return false;
    // Only leading zeros were present (or the whole text was zeros).
    if (value == 0 && digits != 0) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Pairs of hexadecimal digits joined by "-": "0A-FF", "00-11-22".
bool isByteSequence(const std::string& text)
{
    if (text.size() < 3 || text[0] == '-' || text[1] == '-' || text[2] != '-') return false;
    if ((text.size() + 1) % 3 != 0) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != '-') return false;
        } else if (!isHexDigit(text[i])) {
            return false;
        }
    }
    return true;
}
} // namespace

CVariant::CVariant(data_type type) : _type(type) {}
CVariant::CVariant(bool value) { boolean(value); }
CVariant::CVariant(int value) { integer(value); }
CVariant::CVariant(unsigned int value) { uinteger(value); }
CVariant::CVariant(long value) { integer(value); }
CVariant::CVariant(unsigned long value) { uinteger(value); }
CVariant::CVariant(long long value) { integer(value); }
CVariant::CVariant(unsigned long long value) { uinteger(value); }
CVariant::CVariant(const std::string& text, data_subtype subtype) { string(text, subtype); }
CVariant::CVariant(const char* text) { string(text ? std::string(text) : std::string(), CVariantSubType::st_general); }
CVariant::CVariant(const CHexStore& value) { hexstore(value); }
CVariant::CVariant(const CIPAddress& value) { ipaddress(value); }
CVariant::CVariant(const CEndpoint& value) { endpoint(value); }
CVariant::CVariant(const CTimeT& value) { time(value); }

CVariant::CVariant(data_type type, const std::string& text, data_subtype subtype)
{
    string(text, CVariantSubType::st_general);
    convertTo(type, subtype);
    if (type == CVariantType::t_string) _subtype = subtype;
}

CVariant CVariant::guess(const std::string& text)
{
    return _guess(text);
}

CVariant CVariant::_guess(const std::string& text)
{
    if (text.empty())
        throw OSK_EXCEPTION(CMessage(kCannotInterpret), CMessage(kEmptyValue), "CVariant::_guess", kModule);

    // 1. A quoted string.
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return CVariant(text.substr(1, text.size() - 2));
    // 2. A boolean word.
    if (CVariantText::equalsNoCase(text, "true")) return CVariant(true);
    if (CVariantText::equalsNoCase(text, "false")) return CVariant(false);
    // 3. An ip address, optionally in brackets.
    const std::string address = CVariantText::trimAddress(text);
    if (CIPAddress::isValid(address)) return CVariant(CIPAddress(address));
    // 4. An endpoint: an address, ":" and a port.
    const size_t colon = text.rfind(':');
    uint16_t port = 0;
    if (colon != std::string::npos && parsePort(text, colon + 1, port)) {
        const std::string host = CVariantText::trimAddress(text.substr(0, colon));
        if (CIPAddress::isValid(host)) return CVariant(CEndpoint(CIPAddress(host), port));
    }
    // 5. A decimal number: signed when written with a sign.
    const CNumberConversion number(text, 10);
    if (number.isValid()) {
        try {
            if (number.isSigned()) return CVariant(number.toInt64());
            return CVariant(number.toUInt64());
        } catch (const CException&) {
            // Too large for 64 bits: the later rules decide.
        }
    }
    // 6. A date.
    CTimeT time;
    if (CTimeT::parse(text, time)) return CVariant(time);
    // 7. A byte sequence.
    if (isByteSequence(text)) return CVariant(CHexStore(text));
    // 8. A function name.
    if (text.size() >= 2 && text[0] == '$') return CVariant(text, CVariantSubType::st_function_name);
    // 9. Any other text.
    return CVariant(text);
}

bool CVariant::boolean() const
{
    if (_type == CVariantType::t_boolean) return _boolean;
    return CVariant(*this).convertTo(CVariantType::t_boolean)._boolean;
}

int64_t CVariant::integer() const
{
    if (_type == CVariantType::t_integer) return _integer;
    return CVariant(*this).convertTo(CVariantType::t_integer)._integer;
}

uint64_t CVariant::uinteger() const
{
    if (_type == CVariantType::t_uinteger) return _uinteger;
    return CVariant(*this).convertTo(CVariantType::t_uinteger)._uinteger;
}

CTimeT CVariant::time() const
{
    if (_type == CVariantType::t_time) return _time;
    return CVariant(*this).convertTo(CVariantType::t_time)._time;
}

CHexStore CVariant::hexstore() const
{
    if (_type == CVariantType::t_hexstore) return _hexstore;
    return CVariant(*this).convertTo(CVariantType::t_hexstore)._hexstore;
}

CEndpoint CVariant::endpoint() const
{
    if (_type == CVariantType::t_endpoint) return _endpoint;
    return CVariant(*this).convertTo(CVariantType::t_endpoint)._endpoint;
}

CIPAddress CVariant::ipaddress(data_subtype subtype, bool remap) const
{
    const data_subtype target = remap ? subtype : CVariantSubType::st_general;
    if (_type == CVariantType::t_ipaddress && (!CVariantSubType::isAddressFamily(target) || target == _subtype))
        return _ipaddress;
    return CVariant(*this).convertTo(CVariantType::t_ipaddress, target)._ipaddress;
}

const uint8_t* CVariant::raw_data() const
{
    if (_type != CVariantType::t_hexstore) _hexstore = hexstore();
    return _hexstore.buffer();
}

size_t CVariant::raw_len() const
{
    if (_type != CVariantType::t_hexstore) return hexstore().size();
    return _hexstore.size();
}

size_t CVariant::valueBytes() const
{
    if (_type == CVariantType::t_string) return _string.size();
    if (_type == CVariantType::t_hexstore) return _hexstore.size();
    return 0;
}

std::string CVariant::string(const char* hint) const
{
    if (_type == CVariantType::t_string) return _string;
    return CVariant(*this).convertTo(CVariantType::t_string, CVariantSubType::st_general, hint)._string;
}

void CVariant::boolean(bool value)
{
    _boolean = value;
    _type = CVariantType::t_boolean;
    _subtype = CVariantSubType::st_general;
}

void CVariant::integer(int64_t value)
{
    _integer = value;
    _type = CVariantType::t_integer;
    _subtype = CVariantSubType::st_general;
}

void CVariant::uinteger(uint64_t value)
{
    _uinteger = value;
    _type = CVariantType::t_uinteger;
    _subtype = CVariantSubType::st_general;
}

void CVariant::time(const CTimeT& value)
{
    _time = value;
    _type = CVariantType::t_time;
    _subtype = CVariantSubType::st_general;
}

void CVariant::hexstore(const CHexStore& value)
{
    _hexstore = value;
    _type = CVariantType::t_hexstore;
    _subtype = CVariantSubType::st_general;
}

void CVariant::endpoint(const CEndpoint& value)
{
    _endpoint = value;
    _type = CVariantType::t_endpoint;
    _subtype = CVariantSubType::st_general;
}

void CVariant::ipaddress(const CIPAddress& value)
{
    const data_subtype subtype = CVariantSubType::type(value.type());
    _ipaddress = value;
    _type = CVariantType::t_ipaddress;
    _subtype = subtype;
}

void CVariant::string(const std::string& text, data_subtype subtype)
{
    _string = text;
    _type = CVariantType::t_string;
    _subtype = subtype;
}

CVariant& CVariant::convertTo(data_type type, data_subtype subtype, const char* hint)
{
    CVariantConversion::convert(*this, type, subtype, hint);
    return *this;
}

const CVariant& CVariant::_operand(const CVariant& right, CVariant& converted) const
{
    if (right._type == _type && right._subtype == _subtype) return right;
    converted = right;
    converted.convertTo(_type, _subtype);
    return converted;
}

CVariant CVariant::operator+(const CVariant& right) const
{
    const char* const context = "CVariant::operator+";
    checkKnown(_type, kAddition, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return CVariant(_ipaddress + r._ipaddress);
    case CVariantType::t_time: return CVariant(CTimeT(wrapAdd(_time.seconds(), r._time.seconds())));
    case CVariantType::t_string: return CVariant(_string + r._string, _subtype);
    case CVariantType::t_hexstore: return CVariant(_hexstore + r._hexstore);
    case CVariantType::t_integer: return CVariant(wrapAdd(_integer, r._integer));
    case CVariantType::t_uinteger: return CVariant(_uinteger + r._uinteger);
    default: throwIllegal(kAddition, _type, context);
    }
}

CVariant CVariant::operator-(const CVariant& right) const
{
    const char* const context = "CVariant::operator-";
    checkKnown(_type, kSubtraction, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return CVariant(_ipaddress - r._ipaddress);
    case CVariantType::t_time: return CVariant(CTimeT(wrapSub(_time.seconds(), r._time.seconds())));
    case CVariantType::t_integer: return CVariant(wrapSub(_integer, r._integer));
    case CVariantType::t_uinteger: return CVariant(_uinteger - r._uinteger);
    default: throwIllegal(kSubtraction, _type, context);
    }
}

CVariant CVariant::operator*(const CVariant& right) const
{
    const char* const context = "CVariant::operator*";
    checkKnown(_type, kMultiplication, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_time: return CVariant(CTimeT(wrapMul(_time.seconds(), r._time.seconds())));
    case CVariantType::t_integer: return CVariant(wrapMul(_integer, r._integer));
    case CVariantType::t_uinteger: return CVariant(_uinteger * r._uinteger);
    default: throwIllegal(kMultiplication, _type, context);
    }
}

CVariant CVariant::operator/(const CVariant& right) const
{
    const char* const context = "CVariant::operator/";
    checkKnown(_type, kDivision, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_time:
        return CVariant(CTimeT(checkedDiv(_time.seconds(), r._time.seconds(), _type, context)));
    case CVariantType::t_integer: return CVariant(checkedDiv(_integer, r._integer, _type, context));
    case CVariantType::t_uinteger: return CVariant(checkedDiv(_uinteger, r._uinteger, context));
    default: throwIllegal(kDivision, _type, context);
    }
}

CVariant CVariant::operator&(const CVariant& right) const
{
    const char* const context = "CVariant::operator&";
    checkKnown(_type, kBitwiseAnd, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return CVariant(_ipaddress & r._ipaddress);
    case CVariantType::t_integer: return CVariant(_integer & r._integer);
    case CVariantType::t_uinteger: return CVariant(_uinteger & r._uinteger);
    default: throwIllegal(kBitwiseAnd, _type, context);
    }
}

CVariant CVariant::operator|(const CVariant& right) const
{
    const char* const context = "CVariant::operator|";
    checkKnown(_type, kBitwiseOr, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return CVariant(_ipaddress | r._ipaddress);
    case CVariantType::t_integer: return CVariant(_integer | r._integer);
    case CVariantType::t_uinteger: return CVariant(_uinteger | r._uinteger);
    default: throwIllegal(kBitwiseOr, _type, context);
    }
}

CVariant CVariant::operator^(const CVariant& right) const
{
    const char* const context = "CVariant::operator^";
    checkKnown(_type, kBitwiseXor, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return CVariant(_ipaddress ^ r._ipaddress);
    case CVariantType::t_integer: return CVariant(_integer ^ r._integer);
    case CVariantType::t_uinteger: return CVariant(_uinteger ^ r._uinteger);
    default: throwIllegal(kBitwiseXor, _type, context);
    }
}

bool CVariant::_less(const CVariant& right, const char* context) const
{
    checkKnown(_type, kLessThan, context);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return _ipaddress < r._ipaddress;
    case CVariantType::t_time: return _time < r._time;
    case CVariantType::t_string: return _string < r._string;
    case CVariantType::t_integer: return _integer < r._integer;
    case CVariantType::t_uinteger: return _uinteger < r._uinteger;
    default: throwIllegal(kLessThan, _type, context);
    }
}

bool CVariant::_equal(const CVariant& right) const
{
    if (_type == CVariantType::t_unknown)
        throw OSK_EXCEPTION(CMessage(kCannotCompare), CMessage(kUnknownLeft), "CVariant::operator==", kModule);
    CVariant converted;
    const CVariant& r = _operand(right, converted);
    switch (_type) {
    case CVariantType::t_ipaddress: return _ipaddress == r._ipaddress;
    case CVariantType::t_boolean: return _boolean == r._boolean;
    case CVariantType::t_time: return _time == r._time;
    case CVariantType::t_string: return _string == r._string;
    case CVariantType::t_hexstore: return _hexstore == r._hexstore;
    case CVariantType::t_integer: return _integer == r._integer;
    case CVariantType::t_endpoint: return _endpoint == r._endpoint;
    case CVariantType::t_uinteger: return _uinteger == r._uinteger;
    default:
        throw OSK_EXCEPTION(CMessage(kCannotCompare), CMessage(kUnknownLeft), "CVariant::operator==", kModule);
    }
}

CVariant CVariant::operator<(const CVariant& right) const
{
    return CVariant(_less(right, "CVariant::operator<"));
}

CVariant CVariant::operator>(const CVariant& right) const
{
    return CVariant(!_less(right, "CVariant::operator>") && !_equal(right));
}

CVariant CVariant::operator<=(const CVariant& right) const
{
    return CVariant(_less(right, "CVariant::operator<=") || _equal(right));
}

CVariant CVariant::operator>=(const CVariant& right) const
{
    return CVariant(!_less(right, "CVariant::operator>="));
}

CVariant CVariant::operator==(const CVariant& right) const
{
    return CVariant(_equal(right));
}

CVariant CVariant::operator!=(const CVariant& right) const
{
    return CVariant(!_equal(right));
}

CVariant CVariant::operator&&(const CVariant& right) const
{
    const bool left = boolean();
    return CVariant(right.boolean() && left);
}

CVariant CVariant::operator||(const CVariant& right) const
{
    const bool left = boolean();
    return CVariant(right.boolean() || left);
}

CVariant CVariant::operator-() const
{
    switch (_type) {
    case CVariantType::t_integer: return CVariant(wrapNeg(_integer));
    case CVariantType::t_uinteger: return CVariant(static_cast<int64_t>(0 - _uinteger));
    default: throwIllegal(kUnaryNegation, _type, "CVariant::operator-");
    }
}

CVariant CVariant::operator~() const
{
    switch (_type) {
    case CVariantType::t_integer: return CVariant(~_integer);
    case CVariantType::t_uinteger: return CVariant(~_uinteger);
    case CVariantType::t_ipaddress: return CVariant(~_ipaddress);
    default: throwIllegal(kBitwiseInverse, _type, "CVariant::operator~");
    }
}

CVariant CVariant::operator!() const
{
    return CVariant(!boolean());
}

} // namespace osk
