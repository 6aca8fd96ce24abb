#include "extended/exception_facade.h"

#include "extended/master_controller.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kStackExhausted =
    "The exception stack is exhausted. The next %1 message(s) are from the exception stack.";
const char* const kNoData = "<No data>";
const char* const kJoin = " / ";
} // namespace

CExceptionFacade::CExceptionFacade(CMasterController* controller) : _controller(controller) {}

void CExceptionFacade::push(const CException& exception)
{
    _exceptions.emplace_back(exception._clone());
    if (_exceptions.size() < stackLimit) return;
    if (_controller)
        _controller->syslog(CException::warning, CMessage(kStackExhausted, kModule).push(_exceptions.size()));
    log();
}

void CExceptionFacade::assign(const CExceptionFacade& other)
{
    if (&other != this) _exceptions = other._exceptions;
}

void CExceptionFacade::clear() { _exceptions.clear(); }

CExceptionFacade::exception_ptr_t CExceptionFacade::outer() const
{
    return _exceptions.empty() ? exception_ptr_t() : _exceptions.front();
}

CExceptionFacade::exception_ptr_t CExceptionFacade::inner() const
{
    return _exceptions.empty() ? exception_ptr_t() : _exceptions.back();
}

uint32_t CExceptionFacade::severity() const
{
    uint32_t mask = 0;
    for (const auto& exception : _exceptions) mask |= exception->severity();
    return mask;
}

std::string CExceptionFacade::_printable(const CException& exception, const std::string& locale) const
{
    return exception.printableError(_controller ? &_controller->msgStore() : nullptr, locale);
}

std::string CExceptionFacade::comprehensiveMsg(const std::string& locale) const
{
    std::string text;
    for (size_t i = 0; i < _exceptions.size(); ++i) {
        if (i != 0) text += kJoin;
        text += _printable(*_exceptions[i], locale);
    }
    return text;
}

std::string CExceptionFacade::minimalMsg(const std::string& locale) const
{
    if (_exceptions.empty()) return kNoData;
    return _printable(*_exceptions.front(), locale);
}

void CExceptionFacade::log()
{
    // Swap first: logging may record into this facade again.
    std::vector<exception_ptr_t> recorded;
    recorded.swap(_exceptions);
    if (!_controller) return;
    _controller->syslog(recorded);
}

} // namespace osk
