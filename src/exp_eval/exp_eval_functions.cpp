#include "exp_eval/exp_eval_functions.h"

#include <time.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "security/md5.h"
#include "security/sha1.h"
#include "standard/base64.h"
#include "standard/string_util.h"

namespace osk {

namespace {
const char* const kModule = "exp_eval";

// User-visible texts of the built-in functions.
const char* const kFailedFunction = "Failed to execute function $%1().";
const char* const kNotEnough = "Not enough arguments.";
const char* const kTooMany = "Too many arguments.";
const char* const kOutOfBounds = "Position %1 is out of bounds in string %2.";
const char* const kEightBytes = "Argument '%1' must be exactly eight (8) bytes long.";
const char* const kNoValueResult = "Executing with argument '%1' returned an expression that gave no result.";
const char* const kCannotOpenValueFile = "Failed to open file '%1' when executing function $VALUE().";
const char* const kNoKey = "The expression cipher has no key.";
const char* const kBadAddressSubtype = "Address sub-type %1 is neither 3 (IPv4) nor 4 (IPv6).";
const char* const kArgNum = "arg_num=";
const char* const kType = "type=";
const char* const kValue = "value=";

CException failure(const char* name, const CMessage& why, const char* context)
{
    return OSK_EXCEPTION(CMessage(kFailedFunction).pushs(name), why, context, kModule);
}

using T = CVariantType;
using ST = CVariantSubType;

bool equalsNoCase(const std::string& a, const char* b)
{
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A text cut from a value's string form, returned in the value's type.
CVariant inType(const CVariant& original, const std::string& text)
{
    const T::data_type type = original.type().type();
    if (type == T::t_string || type == T::t_unknown) return CVariant(text);
    return CVariant(type, text, original.subtype());
}

// strftime with a buffer that grows for long formats; an empty format or
// one that yields nothing gives the empty text.
std::string formatTime(int64_t seconds, const std::string& format, bool utc)
{
    const time_t when = static_cast<time_t>(seconds);
    struct tm parts;
    std::memset(&parts, 0, sizeof(parts));
    if (utc) gmtime_r(&when, &parts);
    else localtime_r(&when, &parts);
    if (format.empty()) return std::string();
    for (size_t size = 128; size <= 65536; size *= 4) {
        std::string out(size, '\0');
        const size_t written = std::strftime(&out[0], size, format.c_str(), &parts);
        if (written > 0) {
            out.resize(written);
            return out;
        }
    }
    return std::string();
}

// DATE, TIME, DAY, MONTH and YEAR: no mode or "string" formats with
// stringFormat, "integer" gives the integer of integerFormat, any other
// mode is itself the format.
void dateFunction(const char* name, const char* stringFormat, const char* integerFormat, CMultiVariant& results,
                  CMultiVariant& arguments)
{
    CExpEvalFunctions::checkArity(arguments, name, 0, 1);
    const int64_t now = CTimeT::now().seconds();
    if (arguments.empty()) {
        results.push(CVariant(formatTime(now, stringFormat, false)));
        return;
    }
    const std::string mode = arguments.top().string();
    arguments.pop();
    if (equalsNoCase(mode, "string")) results.push(CVariant(formatTime(now, stringFormat, false)));
    else if (equalsNoCase(mode, "integer"))
        results.push(CVariant(static_cast<int64_t>(std::strtoll(formatTime(now, integerFormat, false).c_str(), nullptr, 10))));
    else results.push(CVariant(formatTime(now, mode, false)));
}

// Applies a conversion to every argument; the value is the last one's.
template <class Convert>
void eachArgument(const char* name, CMultiVariant& results, CMultiVariant& arguments, Convert convert)
{
    CExpEvalFunctions::checkArity(arguments, name, 1, CExpEvalFunctions::unbounded);
    for (const CVariant& argument : CExpEvalFunctions::take(arguments)) results.push(convert(argument));
}

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One character of a pattern against c at pattern[p]; advance receives the
// pattern length consumed. An unclosed "[" is an ordinary character.
bool matchOne(const std::string& pattern, size_t p, char c, size_t& advance)
{
    advance = 1;
    if (pattern[p] == '?') return true;
    if (pattern[p] != '[') return pattern[p] == c;
    size_t q = p + 1;
    bool negate = false;
    if (q < pattern.size() && pattern[q] == '^') {
        negate = true;
        ++q;
    }
    // A "]" right after "[" or "[^" is a member of the set, not its end.
    if (q >= pattern.size()) return pattern[p] == c;
    const size_t close = pattern.find(']', q + 1);
    if (close == std::string::npos) return pattern[p] == c;
    bool found = false;
    for (size_t i = q; i < close; ++i) {
        if (i + 2 < close && pattern[i + 1] == '-') {
            if (static_cast<unsigned char>(c) >= static_cast<unsigned char>(pattern[i]) &&
                static_cast<unsigned char>(c) <= static_cast<unsigned char>(pattern[i + 2]))
                found = true;
            i += 2;
        } else if (pattern[i] == c) {
            found = true;
        }
    }
    advance = close - p + 1;
    return found != negate;
}
} // namespace

void CExpEvalFunctions::checkArity(const CMultiVariant& arguments, const char* name, size_t min, size_t max)
{
    if (arguments.size() < min)
        throw failure(name, CMessage(kNotEnough), "CExpEvalFunctions::checkArity");
    if (arguments.size() > max) throw failure(name, CMessage(kTooMany), "CExpEvalFunctions::checkArity");
}

std::vector<CVariant> CExpEvalFunctions::take(CMultiVariant& arguments)
{
    std::vector<CVariant> values(arguments.rbegin(), arguments.rend());
    arguments.clear();
    return values;
}

bool CExpEvalFunctions::wildcardMatch(const std::string& text, const std::string& pattern)
{
    // Greedy scan remembering the last "*" to retry from: linear in the
    // common case, quadratic at worst, never recursive.
    size_t t = 0;
    size_t p = 0;
    size_t starP = std::string::npos;
    size_t starT = 0;
    while (t < text.size()) {
        size_t advance = 1;
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && matchOne(pattern, p, text[t], advance)) {
            p += advance;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool CExpEvalFunctions::lookupValueFile(const std::string& path, const std::string& key, std::string& value)
{
    std::ifstream file(path);
    if (!file.is_open())
        throw OSK_EXCEPTION(CMessage(kCannotOpenValueFile).pushs(path), CMessage(std::strerror(errno)),
                            "CExpEvalFunctions::lookupValueFile", kModule);
    std::string line;
    std::string fallback;
    bool haveFallback = false;
    while (std::getline(file, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        // A file with CR LF line ends leaves the CR on each line.
        const std::string name = CStringUtil::trim(line.substr(0, equals), CStringUtil::whitespace);
        if (name.empty() || name[0] == '#' || name[0] == ';') continue;
        const std::string text = CStringUtil::trim(line.substr(equals + 1), CStringUtil::whitespace);
        if (name == key) {
            value = text;
            return true;
        }
        if (name == "<default>" && !haveFallback) {
            fallback = text;
            haveFallback = true;
        }
    }
    if (haveFallback) value = fallback;
    return haveFallback;
}

const std::vector<CExpEvalFunctions::entry_t>& CExpEvalFunctions::table()
{
    static const std::vector<entry_t> entries = {
        {"COND", _cond},
        {"IF", _if},
        {"DEFAULT", _default},
        {"UNKNOWN", _unknown},
        {"UCASE", _ucase},
        {"LCASE", _lcase},
        {"LEN", _len},
        {"LEFT", _left},
        {"RIGHT", _right},
        {"MID", _mid},
        {"INSTR", _instr},
        {"STARTSWITH", _startswith},
        {"MATCH", _match},
        {"STR", _str},
        {"STRING", _string},
        {"INT", _int},
        {"INTEGER", _integer},
        {"BOOL", _bool},
        {"BYTES", _bytes},
        {"MAC", _mac},
        {"TEXT", _text},
        {"IP", _ip},
        {"IP.MAP", _ipMap},
        {"IP.UNMAP", _ipUnmap},
        {"EVAL", _eval},
        {"VALUE", _value},
        {"FILE.EXISTS", _fileExists},
        {"USLEEP", _usleep},
        {"PRINT", _print},
        {"LOG", _log},
        {"DATE", _date},
        {"TIME", _time},
        {"DAY", _day},
        {"MONTH", _month},
        {"YEAR", _year},
        {"TIME.UTC", _timeUtc},
        {"TIME.FORMAT.UTC", _timeFormatUtc},
        {"TIME.FORMAT.LOCAL", _timeFormatLocal},
        {"MD5", _md5},
        {"SHA1", _sha1},
        {"BASE64.ENCODE", _base64Encode},
        {"BASE64.DECODE", _base64Decode},
        {"ENCRYPT", _encrypt},
        {"DECRYPT", _decrypt},
        {"SENCRYPT", _sencrypt},
        {"SDECRYPT", _sdecrypt},
    };
    return entries;
}

void CExpEvalFunctions::_cond(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    for (const CVariant& argument : take(arguments)) {
        if (argument.boolean()) {
            results.push(argument);
            return;
        }
    }
    results.push(CVariant());
}

void CExpEvalFunctions::_if(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "IF", 3, 3);
    const std::vector<CVariant> values = take(arguments);
    results.push(values[0].boolean() ? values[1] : values[2]);
}

void CExpEvalFunctions::_default(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    results.push(arguments.empty() ? CVariant() : arguments.top());
    arguments.clear();
}

void CExpEvalFunctions::_unknown(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "UNKNOWN", 0, 0);
    results.push(CVariant());
}

void CExpEvalFunctions::_ucase(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("UCASE", results, arguments, [](const CVariant& v) { return CVariant(upper(v.string())); });
}

void CExpEvalFunctions::_lcase(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("LCASE", results, arguments, [](const CVariant& v) { return CVariant(lower(v.string())); });
}

void CExpEvalFunctions::_len(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("LEN", results, arguments,
                 [](const CVariant& v) { return CVariant(static_cast<int64_t>(v.string().size())); });
}

void CExpEvalFunctions::_left(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "LEFT", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const std::string text = values[0].string();
    const int64_t count = values[1].integer();
    const size_t n = count <= 0 ? 0 : std::min(static_cast<uint64_t>(count), static_cast<uint64_t>(text.size()));
    results.push(inType(values[0], text.substr(0, n)));
}

void CExpEvalFunctions::_right(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "RIGHT", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const std::string text = values[0].string();
    const int64_t count = values[1].integer();
    const size_t n = count <= 0 ? 0 : std::min(static_cast<uint64_t>(count), static_cast<uint64_t>(text.size()));
    results.push(inType(values[0], text.substr(text.size() - n)));
}

void CExpEvalFunctions::_mid(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "MID", 3, 3);
    const std::vector<CVariant> values = take(arguments);
    const std::string text = values[0].string();
    const int64_t position = values[1].integer();
    const int64_t length = values[2].integer();
    if (position < 0 || static_cast<uint64_t>(position) >= text.size())
        throw failure("MID", CMessage(kOutOfBounds).push(position).pushs(text), "CExpEvalFunctions::_mid");
    const size_t count = length < 0 ? std::string::npos : static_cast<size_t>(length);
    results.push(inType(values[0], text.substr(static_cast<size_t>(position), count)));
}

void CExpEvalFunctions::_instr(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "INSTR", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const size_t found = values[0].string().find(values[1].string());
    results.push(CVariant(found == std::string::npos ? int64_t(-1) : static_cast<int64_t>(found)));
}

void CExpEvalFunctions::_startswith(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "STARTSWITH", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const std::string text = values[0].string();
    const std::string prefix = values[1].string();
    results.push(CVariant(text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size()));
}

void CExpEvalFunctions::_match(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "MATCH", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const std::string text = values[0].string();
    results.push(wildcardMatch(text, values[1].string()) ? CVariant(text) : CVariant());
}

namespace {
void stringFunction(const char* name, CMultiVariant& results, CMultiVariant& arguments)
{
    CExpEvalFunctions::checkArity(arguments, name, 1, 2);
    const std::vector<CVariant> values = CExpEvalFunctions::take(arguments);
    if (values.size() == 1) {
        results.push(CVariant(values[0].string()));
        return;
    }
    const std::string format = values[1].string();
    results.push(CVariant(values[0].string(format.c_str())));
}

template <class Convert>
void oneArgument(const char* name, CMultiVariant& results, CMultiVariant& arguments, Convert convert)
{
    CExpEvalFunctions::checkArity(arguments, name, 1, 1);
    const CVariant value = arguments.top();
    arguments.pop();
    results.push(convert(value));
}
} // namespace

void CExpEvalFunctions::_str(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    stringFunction("STR", results, arguments);
}

void CExpEvalFunctions::_string(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    stringFunction("STRING", results, arguments);
}

void CExpEvalFunctions::_int(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("INT", results, arguments, [](const CVariant& v) { return CVariant(v.integer()); });
}

void CExpEvalFunctions::_integer(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("INTEGER", results, arguments, [](const CVariant& v) { return CVariant(v.integer()); });
}

void CExpEvalFunctions::_bool(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("BOOL", results, arguments, [](const CVariant& v) { return CVariant(v.boolean()); });
}

void CExpEvalFunctions::_bytes(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("BYTES", results, arguments, [](const CVariant& v) { return CVariant(v.hexstore()); });
}

void CExpEvalFunctions::_mac(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("MAC", results, arguments, [](const CVariant& v) { return CVariant(v.hexstore()); });
}

void CExpEvalFunctions::_text(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("TEXT", results, arguments, [](const CVariant& v) {
        if (v.type() != T::t_hexstore) return v;
        const CHexStore bytes = v.hexstore();
        return CVariant(std::string(reinterpret_cast<const char*>(bytes.buffer()), bytes.size()));
    });
}

void CExpEvalFunctions::_ip(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "IP", 1, 2);
    const std::vector<CVariant> values = take(arguments);
    CVariant address(values[0]);
    if (values.size() == 1) {
        address.convertTo(T::t_ipaddress);
    } else {
        const int64_t subtype = values[1].integer();
        if (subtype != ST::st_ipv4 && subtype != ST::st_ipv6)
            throw failure("IP", CMessage(kBadAddressSubtype).push(subtype), "CExpEvalFunctions::_ip");
        address.convertTo(T::t_ipaddress, static_cast<ST::data_subtype>(subtype));
    }
    results.push(address);
}

void CExpEvalFunctions::_ipMap(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("IP.MAP", results, arguments,
                 [](const CVariant& v) { return CVariant(v).convertTo(T::t_ipaddress, ST::st_ipv6); });
}

void CExpEvalFunctions::_ipUnmap(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("IP.UNMAP", results, arguments,
                 [](const CVariant& v) { return CVariant(v).convertTo(T::t_ipaddress, ST::st_ipv4); });
}

void CExpEvalFunctions::_eval(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "EVAL", 1, unbounded);
    for (const CVariant& argument : take(arguments)) evaluator.execute(results, evaluator.parse(argument.string()));
}

void CExpEvalFunctions::_value(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "VALUE", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    const std::string key = values[1].string();
    std::string value;
    if (!lookupValueFile(values[0].string(), key, value)) {
        results.push(CVariant());
        return;
    }
    const std::string trimmed = CStringUtil::trim(value, CStringUtil::whitespace);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
        CMultiVariant computed;
        evaluator.execute(computed, evaluator.parse(trimmed));
        if (computed.empty()) throw failure("VALUE", CMessage(kNoValueResult).pushs(key), "CExpEvalFunctions::_value");
        results.push(computed.top());
        return;
    }
    results.push(CVariant(value));
}

void CExpEvalFunctions::_fileExists(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("FILE.EXISTS", results, arguments, [](const CVariant& v) {
        FILE* file = std::fopen(v.string().c_str(), "r");
        if (file) std::fclose(file);
        return CVariant(file != nullptr);
    });
}

void CExpEvalFunctions::_usleep(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    oneArgument("USLEEP", results, arguments, [](const CVariant& v) {
        const int64_t micros = v.integer();
        if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
        return CVariant(true);
    });
}

namespace {
// Pushes the arguments back so that the first is on top.
void returnArguments(const std::vector<CVariant>& values, CMultiVariant& results)
{
    if (values.empty()) {
        results.push(CVariant());
        return;
    }
    for (auto value = values.rbegin(); value != values.rend(); ++value) results.push(*value);
}
} // namespace

void CExpEvalFunctions::_print(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    const std::vector<CVariant> values = take(arguments);
    for (size_t i = 0; i < values.size(); ++i)
        std::cout << kArgNum << i + 1 << ' ' << kType << values[i].type().string() << ' ' << kValue
                  << values[i].string() << '\n';
    std::cout.flush();
    returnArguments(values, results);
}

void CExpEvalFunctions::_log(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    const std::vector<CVariant> values = take(arguments);
    std::string text;
    for (const CVariant& value : values) text += value.string();
    if (evaluator.controller()) evaluator.controller()->syslog(CException::audit, CMessage(text, kModule));
    returnArguments(values, results);
}

void CExpEvalFunctions::_date(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    dateFunction("DATE", "%x", "%Y%m%d", results, arguments);
}

void CExpEvalFunctions::_time(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    dateFunction("TIME", "%X", "%H%M", results, arguments);
}

void CExpEvalFunctions::_day(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    dateFunction("DAY", "%A", "%d", results, arguments);
}

void CExpEvalFunctions::_month(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    dateFunction("MONTH", "%B", "%m", results, arguments);
}

void CExpEvalFunctions::_year(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    dateFunction("YEAR", "%Y", "%Y", results, arguments);
}

void CExpEvalFunctions::_timeUtc(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "TIME.UTC", 0, 0);
    results.push(CVariant(CTimeT::now()));
}

void CExpEvalFunctions::_timeFormatUtc(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "TIME.FORMAT.UTC", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    results.push(CVariant(formatTime(values[0].time().seconds(), values[1].string(), true)));
}

void CExpEvalFunctions::_timeFormatLocal(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "TIME.FORMAT.LOCAL", 2, 2);
    const std::vector<CVariant> values = take(arguments);
    results.push(CVariant(formatTime(values[0].time().seconds(), values[1].string(), false)));
}

void CExpEvalFunctions::_md5(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("MD5", results, arguments, [](const CVariant& v) {
        CMD5 digest;
        digest.update(v.hexstore());
        return CVariant(digest.digest());
    });
}

void CExpEvalFunctions::_sha1(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("SHA1", results, arguments, [](const CVariant& v) {
        CSHA1 digest;
        digest.update(v.hexstore());
        return CVariant(digest.digest());
    });
}

void CExpEvalFunctions::_base64Encode(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("BASE64.ENCODE", results, arguments,
                 [](const CVariant& v) { return CVariant(CBase64::encode(v.hexstore())); });
}

void CExpEvalFunctions::_base64Decode(const CExpEval&, CMultiVariant& results, CMultiVariant& arguments)
{
    eachArgument("BASE64.DECODE", results, arguments,
                 [](const CVariant& v) { return CVariant(CBase64::decode(v.string())); });
}

namespace {
// A private copy of the evaluator's cipher: enciphering changes the
// cipher's chaining state, and the evaluator is shared between threads.
CBlowfish keyedCipher(const CExpEval& evaluator, const char* name)
{
    if (!evaluator.keyed()) throw failure(name, CMessage(kNoKey), "CExpEvalFunctions::keyedCipher");
    return evaluator.blowfish();
}
} // namespace

void CExpEvalFunctions::_encrypt(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "ENCRYPT", 1, unbounded);
    CBlowfish cipher = keyedCipher(evaluator, "ENCRYPT");
    CHexStore data;
    for (const CVariant& argument : take(arguments)) data += argument.hexstore();
    const size_t length = data.size();
    // Length byte, data, zero fill to whole blocks (a whole block of fill
    // when length + 1 already is a multiple of 8 and exceeds 8).
    const size_t fill = length + 1 > 8 ? 8 - ((length + 1) % 8) : 8 - (length + 1);
    CHexStore block;
    block.push_back(static_cast<uint8_t>(length & 0xFF));
    block += data;
    block.pad(0, fill);
    cipher.encrypt(block.buffer(), block.size(), CBlowfish::modeCBC);
    results.push(CVariant(block));
}

void CExpEvalFunctions::_decrypt(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "DECRYPT", 1, unbounded);
    const CBlowfish cipher = keyedCipher(evaluator, "DECRYPT");
    for (const CVariant& argument : take(arguments)) {
        CHexStore block = argument.hexstore();
        if (block.size() < 8 || block.size() % 8 != 0)
            throw failure("DECRYPT", CMessage(kEightBytes).pushs(argument.string()), "CExpEvalFunctions::_decrypt");
        CBlowfish copy = cipher;
        copy.decrypt(block.buffer(), block.size(), CBlowfish::modeCBC);
        // A length byte larger than what follows (wrong key, foreign data)
        // yields what there is.
        const size_t length = std::min(static_cast<size_t>(block[0]), block.size() - 1);
        results.push(CVariant(CHexStore(block.buffer() + 1, length)));
    }
}

void CExpEvalFunctions::_sencrypt(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "SENCRYPT", 1, unbounded);
    const CBlowfish cipher = keyedCipher(evaluator, "SENCRYPT");
    for (const CVariant& argument : take(arguments)) {
        CBlowfish copy = cipher;
        CHexStore out;
        copy.encrypt_string(argument.string(), out);
        results.push(CVariant(out));
    }
}

void CExpEvalFunctions::_sdecrypt(const CExpEval& evaluator, CMultiVariant& results, CMultiVariant& arguments)
{
    checkArity(arguments, "SDECRYPT", 1, unbounded);
    const CBlowfish cipher = keyedCipher(evaluator, "SDECRYPT");
    for (const CVariant& argument : take(arguments)) {
        CBlowfish copy = cipher;
        std::string out;
        copy.decrypt_string(argument.hexstore(), out);
        results.push(CVariant(out));
    }
}

} // namespace osk
