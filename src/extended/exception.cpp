#include "extended/exception.h"

#include "extended/exception_facade.h"
#include "extended/message_store.h"
#include "standard/string_util.h"

namespace osk {

namespace {
struct SeverityName {
    uint32_t bit;
    const char* name;
};
constexpr SeverityName kSeverityNames[] = {
    {CException::info, "info"},     {CException::warning, "warning"},
    {CException::error, "error"},   {CException::debug, "debug"},
    {CException::audit, "audit"},   {CException::verbose, "verbose"},
};
} // namespace

CException::CException(CMessage what, CMessage why, std::string context, std::string module,
                       const char* file, int line, uint32_t severity, int errCode)
    : _what(std::move(what)), _why(std::move(why)), _context(std::move(context)),
      _file(file ? file : ""), _line(line), _module(std::move(module)), _severity(severity),
      _errCode(errCode), _when(time(nullptr))
{
    const size_t colons = _context.rfind("::");
    _sourceClass = colons == std::string::npos ? _context : _context.substr(0, colons);
    if (_what.module().empty()) _what.module(_module);
    if (_why.module().empty()) _why.module(_module);
}

const char* CException::what() const noexcept
{
    try {
        _printable = printableError();
        return _printable.c_str();
    } catch (...) {
        return "osk::CException";
    }
}

std::string CException::printableError(const CMessageStore* store, const std::string& locale) const
{
    std::string whatText = store ? store->tr(_what, locale).formatted() : _what.formatted();
    const bool translateWhy = store && _errCode == 0;
    std::string whyText = translateWhy ? store->tr(_why, locale).formatted() : _why.formatted();
    if (whyText.empty()) return whatText;
    return whatText + " (" + whyText + ")";
}

void CException::record(CExceptionFacade& facade) const { facade.push(*this); }

std::string CException::severityString(uint32_t mask)
{
    std::string text;
    for (const auto& entry : kSeverityNames) {
        if ((mask & entry.bit) == 0) continue;
        if (!text.empty()) text += ",";
        text += entry.name;
    }
    return text;
}

uint32_t CException::severityMask(const std::string& text)
{
    uint32_t mask = 0;
    for (const std::string& item : CStringUtil::split(text)) {
        if (item == "*" || item == "all") {
            mask |= allSeverities;
            continue;
        }
        bool known = false;
        for (const auto& entry : kSeverityNames) {
            if (item == entry.name) {
                mask |= entry.bit;
                known = true;
            }
        }
        if (!known)
            throw OSK_EXCEPTION(CMessage("Cannot parse severity mask '%1'.").pushs(text),
                                CMessage("Invalid value."), "CException::severityMask", "extended");
    }
    return mask;
}

} // namespace osk
