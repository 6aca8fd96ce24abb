#pragma once

#include <cstdint>
#include <ctime>
#include <exception>
#include <string>

#include "extended/message.h"
#include "standard/tracked_factory.h"

namespace osk {

class CMessageStore;
class CExceptionFacade;

// The one exception type of the framework. It carries what failed and why,
// where it was thrown (context "Class::method", source file and line), the
// module that raised it, a severity bit and an optional system error number.
class CException : public std::exception {
public:
    // Severity bits of exceptions and log entries, the one list of them.
    // Unscoped over uint32_t so that bits combine with | into the uint32_t
    // masks that syslog(), log filters and severity() take.
    enum severity_t : uint32_t {
        info = 1,
        warning = 2,
        error = 4,
        debug = 8,
        audit = 16,
        verbose = 32,
    };
    static constexpr uint32_t allSeverities = info | warning | error | debug | audit | verbose;

    CException() = default;
    CException(CMessage what, CMessage why, std::string context, std::string module,
               const char* file = "", int line = 0, uint32_t severity = error, int errCode = 0);
    ~CException() override = default;

    // std::exception view: the printable error without translation.
    const char* what() const noexcept override;

    const CMessage& whatMsg() const { return _what; }
    CMessage& whatMsg() { return _what; }
    const CMessage& whyMsg() const { return _why; }
    CMessage& whyMsg() { return _why; }
    const std::string& context() const { return _context; }
    const std::string& sourceClass() const { return _sourceClass; }
    const std::string& file() const { return _file; }
    int line() const { return _line; }
    const std::string& module() const { return _module; }
    uint32_t severity() const { return _severity; }
    void severity(uint32_t mask) { _severity = mask; }
    int err_code() const { return _errCode; }
    void err_code(int code) { _errCode = code; }
    const void* mythis() const { return _mythis; }
    void mythis(const void* object) { _mythis = object; }
    time_t when() const { return _when; }
    const std::string& where() const { return _where; }
    void where(const std::string& place) { _where = place; }

    // The formatted what-text, then " (why)" when the why-text is not empty.
    // With a store, texts are translated for the locale; the why-text is left
    // alone when it describes a system error number.
    std::string printableError(const CMessageStore* store = nullptr,
                               const std::string& locale = std::string()) const;

    // Appends a copy of this exception to a thread's exception facade.
    void record(CExceptionFacade& facade) const;

    // A heap copy that keeps the dynamic type (derived exceptions override).
    virtual CException* _clone() const { return CTrackedFactory::create<CException>(*this); }

    // Severity names joined by "," ("error,warning"), and the reverse.
    static std::string severityString(uint32_t mask);
    static uint32_t severityMask(const std::string& text);

private:
    CMessage _what;
    CMessage _why;
    std::string _context;
    std::string _sourceClass;
    std::string _file;
    int _line = 0;
    std::string _module;
    uint32_t _severity = error;
    int _errCode = 0;
    const void* _mythis = nullptr;
    time_t _when = 0;
    std::string _where;
    mutable std::string _printable;
};

} // namespace osk

// Builds an exception that records the throwing source file and line.
#define OSK_EXCEPTION(what, why, context, module) \
    ::osk::CException((what), (why), (context), (module), __FILE__, __LINE__)
