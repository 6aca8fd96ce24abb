#include "standard/string_map.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "extended/exception.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

namespace osk {

namespace {
// User-visible texts of the string map.
const char* const kCannotProcessControl = "Cannot process control characters in text '%1'.";
const char* const kInsufficientHexDigits = "Insufficient digits for a hex escape sequence.";
const char* const kCannotFillTemplate = "Cannot fill the template '%1'.";
const char* const kFilledTextTooLong = "The filled text would be longer than %1 bytes.";
const char* const kModule = "standard";

// Field trimming order: leading escape characters, leading spaces, trailing
// escape characters, trailing spaces (no escape character trims none).
std::string trimField(const std::string& field, char escape)
{
    const char escapes[] = {escape, '\0'};
    const std::string left = CStringUtil::trimLeft(CStringUtil::trimLeft(field, escapes), CStringUtil::spaces);
    return CStringUtil::trimRight(CStringUtil::trimRight(left, escapes), CStringUtil::spaces);
}

// Key and value trimming order: trailing spaces, trailing tabs, leading
// spaces, leading tabs; a run of mixed blanks and tabs is only trimmed as
// far as this order reaches.
std::string trimKeyOrValue(const std::string& text)
{
    const std::string right = CStringUtil::trimRight(CStringUtil::trimRight(text, CStringUtil::spaces), "\t");
    return CStringUtil::trimLeft(CStringUtil::trimLeft(right, CStringUtil::spaces), "\t");
}

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char* format, ...)
{
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

bool isTrueText(const std::string& value) { return value == "true" || value == "TRUE" || value == "True"; }
} // namespace

CStringMap::CStringMap(bool ignoreCase) : _entries(CKeyLess{ignoreCase}) {}

CStringMap::CStringMap(const std::string& text, const char* separator, char escape, bool ignoreCase)
    : _entries(CKeyLess{ignoreCase}), _separator(separator ? separator : "\n"), _escape(escape)
{
    set(text);
}

CStringMap::CStringMap(const char* text, const char* separator, char escape, bool ignoreCase)
    : CStringMap(std::string(text ? text : ""), separator, escape, ignoreCase)
{
}

// ---- text form ------------------------------------------------------------

bool CStringMap::set(const std::string& text)
{
    if (text.empty()) return true;
    // An empty separator cannot split: the whole text is one field.
    const std::string& separator = _separator;
    size_t fieldStart = 0;
    size_t searchFrom = 0;
    while (fieldStart <= text.size()) {
        size_t next = separator.empty() ? std::string::npos : text.find(separator, searchFrom);
        // An escaped separator does not split; one at position 0 always does.
        if (next != std::string::npos && _escape != 0 && next > 0 && text[next - 1] == _escape) {
            searchFrom = next + 1;
            continue;
        }
        const size_t fieldEnd = next == std::string::npos ? text.size() : next;

        const std::string field = trimField(text.substr(fieldStart, fieldEnd - fieldStart), _escape);
        if (!field.empty()) {
            const size_t equals = field.find('=');
            if (equals == std::string::npos) {
                _entries.emplace(field, std::string());
            } else {
                _entries.emplace(trimKeyOrValue(field.substr(0, equals)), trimKeyOrValue(field.substr(equals + 1)));
            }
        }
        if (next == std::string::npos) break;
        fieldStart = next + separator.size();
        searchFrom = fieldStart;
    }
    return true;
}

std::string CStringMap::join(const std::string& separator, bool trailing, const std::string& quote) const
{
    const std::string& sep = separator.empty() ? _separator : separator;
    std::string out;
    bool first = true;
    for (const auto& entry : _entries) {
        if (!first && !trailing) out += sep;
        first = false;
        out += quote;
        out += entry.first;
        out += '=';
        out += entry.second;
        out += quote;
        if (trailing) out += sep;
    }
    return out;
}

std::string CStringMap::string() const { return join("\n", true, ""); }

void CStringMap::fastString(std::string& out) const
{
    size_t length = 0;
    for (const auto& entry : _entries) length += entry.first.size() + entry.second.size() + 1 + _separator.size();
    out.clear();
    out.reserve(length);
    for (const auto& entry : _entries) {
        out.append(entry.first);
        out.push_back('=');
        out.append(entry.second);
        out.append(_separator);
    }
}

std::string CStringMap::get_default(const std::string&) const { return std::string(); }

CStringMap& CStringMap::operator=(const std::string& text)
{
    _entries.clear();
    set(text);
    return *this;
}

CStringMap& CStringMap::operator=(const char* text) { return *this = std::string(text ? text : ""); }

CStringMap& CStringMap::operator+=(const std::string& text)
{
    set(text);
    return *this;
}

CStringMap& CStringMap::operator+=(const CStringMap& other)
{
    append(other);
    return *this;
}

CStringMap CStringMap::operator+(const CStringMap& other) const
{
    CStringMap sum(*this);
    sum.append(other);
    return sum;
}

std::string CStringMap::formattedString(const std::string& templateText) const
{
    std::string text;
    text.reserve(templateText.size());
    for (size_t i = 0; i < templateText.size(); ++i) {
        const char c = templateText[i];
        if (c != '\\' || i + 1 >= templateText.size()) {
            text += c;
            continue;
        }
        const char code = templateText[++i];
        switch (code) {
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 'x': {
            if (templateText.size() - i - 1 < 2) {
                throw OSK_EXCEPTION(CMessage(kCannotProcessControl).pushs(templateText),
                                    CMessage(kInsufficientHexDigits), "CStringMap::formattedString", kModule);
            }
            const std::string hex = templateText.substr(i + 1, 2);
            text += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
            i += 2;
            break;
        }
        default: text += code; break; // also the backslash itself
        }
    }
    for (const auto& entry : _entries) {
        text = _replaced(std::move(text), "%" + entry.first + "%", entry.second, templateText);
    }
    return text;
}

// Every occurrence of pattern in text replaced by value, in one pass that
// copies each character once. The keys after this one search the result,
// so a value holding another key's pattern multiplies the text once per
// key; the ceiling turns that into an error instead of a runaway.
std::string CStringMap::_replaced(std::string text, const std::string& pattern, const std::string& value,
                                  const std::string& templateText)
{
    size_t at = text.find(pattern);
    if (at == std::string::npos) return text;
    std::string result;
    result.reserve(text.size());
    size_t copied = 0;
    const auto refuseBeyondCeiling = [&](size_t growth) {
        if (result.size() + growth <= kMaxFilledSize) return;
        throw OSK_EXCEPTION(CMessage(kCannotFillTemplate).pushs(templateText),
                            CMessage(kFilledTextTooLong).pushs(std::to_string(kMaxFilledSize)),
                            "CStringMap::formattedString", kModule);
    };
    for (; at != std::string::npos; at = text.find(pattern, copied)) {
        refuseBeyondCeiling(at - copied + value.size());
        result.append(text, copied, at - copied);
        result += value;
        copied = at + pattern.size();
    }
    refuseBeyondCeiling(text.size() - copied);
    result.append(text, copied, std::string::npos);
    return result;
}

// ---- entries ----------------------------------------------------------------

std::string& CStringMap::operator[](const std::string& key)
{
    // lower_bound finds the first entry of an equal range.
    const auto found = _entries.lower_bound(key);
    if (found != _entries.end() && !_entries.key_comp()(key, found->first)) return found->second;
    return _entries.emplace_hint(found, key, std::string())->second;
}

void CStringMap::string_insert(const std::string& key, const std::string& value) { _entries.emplace(key, value); }

bool CStringMap::defined(const std::string& key) const { return _entries.find(key) != _entries.end(); }

bool CStringMap::hasValue(const std::string& key) const
{
    const std::string* value = _value(key);
    return value && !value->empty();
}

void CStringMap::append(const CStringMap& other)
{
    for (const auto& entry : other._entries) _entries.emplace(entry.first, entry.second);
}

void CStringMap::merge(const CStringMap& other)
{
    for (const auto& entry : other._entries) (*this)[entry.first] = entry.second;
}

const std::string* CStringMap::_value(const std::string& key) const
{
    const auto found = _entries.lower_bound(key);
    if (found == _entries.end() || _entries.key_comp()(key, found->first)) return nullptr;
    return &found->second;
}

std::string CStringMap::_valueOrDefault(const std::string& key) const
{
    const std::string* value = _value(key);
    return value ? *value : get_default(key);
}

// ---- typed setters -------------------------------------------------------------

void CStringMap::set_string(const std::string& key, const std::string& value) { (*this)[key] = value; }
void CStringMap::set_bool(const std::string& key, bool value) { (*this)[key] = value ? "true" : "false"; }
void CStringMap::set_int8(const std::string& key, int8_t value) { (*this)[key] = CNumberConversion::toString(int64_t(value)); }
void CStringMap::set_int16(const std::string& key, int16_t value) { (*this)[key] = CNumberConversion::toString(int64_t(value)); }
void CStringMap::set_int32(const std::string& key, int32_t value) { (*this)[key] = CNumberConversion::toString(int64_t(value)); }
void CStringMap::set_short(const std::string& key, short value) { (*this)[key] = CNumberConversion::toString(int64_t(value)); }
void CStringMap::set_long(const std::string& key, long value) { (*this)[key] = CNumberConversion::toString(int64_t(value)); }
void CStringMap::set_uint8(const std::string& key, uint8_t value) { (*this)[key] = CNumberConversion::toString(uint64_t(value)); }
void CStringMap::set_uint16(const std::string& key, uint16_t value) { (*this)[key] = CNumberConversion::toString(uint64_t(value)); }
void CStringMap::set_uint32(const std::string& key, uint32_t value) { (*this)[key] = CNumberConversion::toString(uint64_t(value)); }
void CStringMap::set_ulong(const std::string& key, unsigned long value) { (*this)[key] = CNumberConversion::toString(uint64_t(value)); }
void CStringMap::set_int64(const std::string& key, int64_t value) { (*this)[key] = formatted("%li", static_cast<long>(value)); }
void CStringMap::set_uint64(const std::string& key, uint64_t value) { (*this)[key] = formatted("%lu", static_cast<unsigned long>(value)); }
void CStringMap::set_double(const std::string& key, double value) { (*this)[key] = formatted("%.17g", value); }
void CStringMap::set_float(const std::string& key, float value) { (*this)[key] = formatted("%g", static_cast<double>(value)); }
void CStringMap::set_sec(const std::string& key, unsigned long seconds) { (*this)[key] = formatted("%lus", seconds); }
void CStringMap::set_msec(const std::string& key, unsigned long ms) { (*this)[key] = formatted("%lums", ms); }
void CStringMap::set_usec(const std::string& key, unsigned long us) { (*this)[key] = formatted("%luus", us); }
void CStringMap::set_ctimet(const std::string& key, const CTimeT& time) { set_int64(key, time.seconds()); }

// ---- typed getters -------------------------------------------------------------

std::string CStringMap::get_string(const std::string& key) const { return _valueOrDefault(key); }

std::string CStringMap::get_string(const std::string& key, const std::string& defaultValue) const
{
    const std::string* value = _value(key);
    return value ? *value : defaultValue;
}

std::string CStringMap::get_path(const std::string& key, const std::string& defaultValue) const
{
    const std::string* value = _value(key);
    if (!value) return defaultValue;
    return CStringUtil::trimRight(value->empty() ? defaultValue : *value, "/\\");
}

bool CStringMap::get_bool(const std::string& key, bool defaultValue) const
{
    const std::string* value = _value(key);
    return value ? isTrueText(*value) : defaultValue;
}

bool CStringMap::_get_bool(const std::string& key) const { return isTrueText(_valueOrDefault(key)); }

// Integer getters: without a default, the value or get_default(key) is
// converted; with one, a missing key or an empty value gives the default.
#define OSK_STRING_MAP_INT_GETTERS(Type, name, reader)                                     \
    Type CStringMap::name(const std::string& key) const                                    \
    {                                                                                      \
        return CNumberConversion(_valueOrDefault(key)).reader();                           \
    }                                                                                      \
    Type CStringMap::name(const std::string& key, Type defaultValue) const                 \
    {                                                                                      \
        const std::string* value = _value(key);                                            \
        if (!value || value->empty()) return defaultValue;                                 \
        return CNumberConversion(*value).reader();                                         \
    }

OSK_STRING_MAP_INT_GETTERS(int8_t, get_int8, toInt8)
OSK_STRING_MAP_INT_GETTERS(int16_t, get_int16, toInt16)
OSK_STRING_MAP_INT_GETTERS(int32_t, get_int32, toInt32)
OSK_STRING_MAP_INT_GETTERS(int64_t, get_int64, toInt64)
OSK_STRING_MAP_INT_GETTERS(short, get_short, toShort)
OSK_STRING_MAP_INT_GETTERS(long, get_long, toInt64)
OSK_STRING_MAP_INT_GETTERS(uint8_t, get_uint8, toUInt8)
OSK_STRING_MAP_INT_GETTERS(uint16_t, get_uint16, toUInt16)
OSK_STRING_MAP_INT_GETTERS(uint32_t, get_uint32, toUInt32)
OSK_STRING_MAP_INT_GETTERS(uint64_t, get_uint64, toUInt64)
OSK_STRING_MAP_INT_GETTERS(unsigned long, get_ulong, toUInt64)

#undef OSK_STRING_MAP_INT_GETTERS

double CStringMap::get_double(const std::string& key, double defaultValue) const
{
    const std::string* value = _value(key);
    if (!value || value->empty()) return defaultValue;
    double read = 0;
    if (std::sscanf(value->c_str(), "%lf", &read) != 1) return defaultValue;
    return read;
}

float CStringMap::get_float(const std::string& key, float defaultValue) const
{
    const std::string* value = _value(key);
    if (!value || value->empty()) return defaultValue;
    return static_cast<float>(std::strtod(value->c_str(), nullptr));
}

unsigned long CStringMap::get_usec(const std::string& key, unsigned long defaultValue) const
{
    const std::string* value = _value(key);
    if (!value) return defaultValue;
    const unsigned long max = std::numeric_limits<unsigned long>::max();
    unsigned long number = 0;
    bool overflow = false;
    std::string unit;
    for (char c : *value) {
        if (c >= '0' && c <= '9') {
            const unsigned long digit = static_cast<unsigned long>(c - '0');
            if (number > (max - digit) / 10) overflow = true;
            else number = number * 10 + digit;
        } else {
            unit += c;
        }
    }
    unsigned long factor = 0;
    if (unit.empty() || unit == "s") factor = 1000000;
    else if (unit == "ms") factor = 1000;
    else if (unit == "us") factor = 1;
    else return defaultValue;
    // A duration too long to count in microseconds cannot be meant.
    if (overflow || number > max / factor) return defaultValue;
    return number * factor;
}

CTimeT CStringMap::get_ctimet(const std::string& key, const CTimeT& defaultValue) const
{
    return CTimeT(get_int64(key, defaultValue.seconds()));
}

} // namespace osk
