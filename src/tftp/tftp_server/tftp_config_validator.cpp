#include "tftp/tftp_server/tftp_config_validator.h"

#include <cstdint>

#include "exp_eval/exp_eval.h"
#include "extended/exception.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"
#include "tftp/tftp_server/tftp_rule.h"

namespace {
const char* const kModule = "tftp_server";
const char* const kContext = "CTFTPConfigValidator::check";

const char* const kCannotValidateKey = "Cannot validate configuration key '%1'.";
const char* const kNotFlag = "'%1' is not true or false.";
const char* const kNotNumber = "'%1' is not a whole number.";
const char* const kOutOfRange = "%1 is outside the range %2 to %3.";
const char* const kNotDuration = "'%1' is not a duration (a whole number with the unit s, ms or us).";
const char* const kNotPluginName = "'%1' is not a plug-in name: plug-ins are named by their file name, without a path.";
const char* const kNotClosed = "'%1' is not a complete expression: it must begin with '[' and end with ']'.";
const char* const kNotParsed = "The expression does not parse: %1";
const char* const kNotDecision = "'%1' is neither true nor false nor an expression in square brackets.";
const char* const kRootEmpty = "The virtual root cannot be empty.";
const char* const kRootIsSystemRoot = "The file system's root cannot be the virtual root.";
const char* const kRootClimbs = "The virtual root '%1' contains a '..' component.";
const char* const kUnrecognizedKey = "Unrecognized key.";

// The spellings the flag readers take.
bool isFlagText(const std::string& text)
{
    for (const char* spelling : {"true", "TRUE", "True", "false", "FALSE", "False"})
        if (text == spelling) return true;
    return false;
}

std::string reason(const char* text, const std::string& first)
{
    return osk::CMessage(text, kModule).pushs(first).formatted();
}

// A duration in the configuration's own form: "255s", "1ms", "7us".
std::string durationText(int64_t usec)
{
    if (usec % 1000000 == 0) return std::to_string(usec / 1000000) + "s";
    if (usec % 1000 == 0) return std::to_string(usec / 1000) + "ms";
    return std::to_string(usec) + "us";
}

bool bracketed(const std::string& text, bool& opens, bool& closes)
{
    opens = !text.empty() && text.front() == '[';
    closes = !text.empty() && text.back() == ']';
    return opens && closes;
}
} // namespace

void CTFTPConfigValidator::check(const std::string& key, const std::string& value) const
{
    const osk::CConfigKey* entry = _names.entry(key);
    if (!entry) return;
    const std::string why = _reason(entry->rule, value);
    if (why.empty()) return;
    throw OSK_EXCEPTION(osk::CMessage(kCannotValidateKey, kModule).pushs(key), osk::CMessage(why, kModule),
                        kContext, kModule);
}

void CTFTPConfigValidator::checkAll(const osk::CStringMap& config) const
{
    for (const auto& entry : config) check(entry.first, entry.second);
}

std::vector<CTFTPConfigValidator::CProblem> CTFTPConfigValidator::problems(const osk::CStringMap& config) const
{
    std::vector<CProblem> found;
    for (const auto& entry : config) {
        const std::string& key = entry.first;
        if (!key.empty() && key.front() == '#') continue;
        const osk::CConfigKey* known = _names.entry(key);
        if (!known) {
            found.push_back({key, kUnrecognizedKey});
            continue;
        }
        std::string why = _reason(known->rule, entry.second);
        if (!why.empty()) found.push_back({key, std::move(why)});
    }
    return found;
}

std::string CTFTPConfigValidator::_reason(const osk::CConfigRule& rule, const std::string& value) const
{
    switch (rule.kind) {
    case osk::CConfigRule::anyText: return std::string();
    case osk::CConfigRule::flag: return isFlagText(value) ? std::string() : reason(kNotFlag, value);
    case osk::CConfigRule::number: return _numberReason(rule, value);
    case osk::CConfigRule::duration: return _durationReason(rule, value);
    case osk::CConfigRule::pluginNames: return _pluginsReason(value);
    case osk::CConfigRule::expression: return _expressionReason(value);
    case osk::CConfigRule::decision: return _decisionReason(value);
    case osk::CConfigRule::rootPath: return _rootReason(value);
    }
    return std::string();
}

std::string CTFTPConfigValidator::_numberReason(const osk::CConfigRule& rule, const std::string& value) const
{
    // An empty value reads as the key's default.
    if (osk::CStringUtil::trim(value).empty()) return std::string();
    int64_t number = 0;
    try {
        number = osk::CNumberConversion(value).toInt64();
    } catch (const osk::CException&) {
        return reason(kNotNumber, value);
    }
    if (number >= rule.min && number <= rule.max) return std::string();
    return osk::CMessage(kOutOfRange, kModule).push(number).push(rule.min).push(rule.max).formatted();
}

std::string CTFTPConfigValidator::_durationReason(const osk::CConfigRule& rule, const std::string& value) const
{
    const std::string text = osk::CStringUtil::trim(value);
    if (text.empty()) return std::string();
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string unit = text.substr(digits);
    int64_t factor = 0;
    if (unit.empty() || unit == "s") factor = 1000000;
    else if (unit == "ms") factor = 1000;
    else if (unit == "us") factor = 1;
    // 12 digits of seconds are far beyond every bound and still fit.
    if (digits == 0 || digits > 12 || factor == 0) return reason(kNotDuration, value);
    const int64_t usec = std::stoll(text.substr(0, digits)) * factor;
    if (usec >= rule.min && usec <= rule.max) return std::string();
    return osk::CMessage(kOutOfRange, kModule)
        .pushs(text)
        .pushs(durationText(rule.min))
        .pushs(durationText(rule.max))
        .formatted();
}

std::string CTFTPConfigValidator::_pluginsReason(const std::string& value) const
{
    for (const std::string& name : osk::CStringUtil::split(value)) {
        bool plain = name != "." && name != "..";
        for (const char c : name) {
            const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                 c == '_' || c == '-' || c == '.' || c == '+';
            if (!allowed) plain = false;
        }
        if (!plain) return reason(kNotPluginName, name);
    }
    return std::string();
}

std::string CTFTPConfigValidator::_expressionReason(const std::string& value) const
{
    const std::string text = osk::CStringUtil::trim(value, osk::CStringUtil::spaces);
    bool opens = false;
    bool closes = false;
    if (!bracketed(text, opens, closes)) return opens || closes ? reason(kNotClosed, value) : std::string();
    try {
        _evaluator.parse(text);
    } catch (const osk::CException& e) {
        const std::string why = e.whyMsg().formatted();
        return reason(kNotParsed, why.empty() ? e.whatMsg().formatted() : why);
    }
    return std::string();
}

std::string CTFTPConfigValidator::_decisionReason(const std::string& value) const
{
    const std::string text = osk::CStringUtil::trim(value, osk::CStringUtil::spaces);
    bool opens = false;
    bool closes = false;
    if (bracketed(text, opens, closes) || opens || closes) return _expressionReason(value);
    try {
        CTFTPRule::booleanLiteral(text);
    } catch (const osk::CException&) {
        return reason(kNotDecision, value);
    }
    return std::string();
}

std::string CTFTPConfigValidator::_rootReason(const std::string& value) const
{
    const std::string text = osk::CStringUtil::trim(value, osk::CStringUtil::spaces);
    bool opens = false;
    bool closes = false;
    if (text.empty()) return kRootEmpty;
    if (bracketed(text, opens, closes) || opens) return _expressionReason(value);
    // The root is read without its trailing separators: "/" and "//" read
    // as nothing at all.
    std::string path = value;
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    if (path.empty()) return reason(kRootIsSystemRoot, value);
    for (const std::string& part : osk::CStringUtil::split(path, "/", "", osk::CStringUtil::keepEmpty))
        if (part == "..") return reason(kRootClimbs, value);
    return std::string();
}
