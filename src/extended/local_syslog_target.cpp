#include "extended/local_syslog_target.h"

#include <syslog.h>

#include <mutex>
#include <set>

#include "extended/exception.h"

namespace osk {

namespace {
// openlog(3) keeps the ident pointer, so every ident handed to it stays
// alive until the process ends (one entry per distinct process name).
const char* persistentIdent(const std::string& process)
{
    static std::mutex lock;
    static std::set<std::string> idents;
    std::lock_guard<std::mutex> guard(lock);
    return idents.insert(process).first->c_str();
}
} // namespace

CLocalSyslogTarget::CLocalSyslogTarget(system_log_t systemLog) : _systemLog(std::move(systemLog)) {}

int CLocalSyslogTarget::level(uint32_t severity)
{
    if (severity & CException::error) return LOG_ERR;
    if (severity & CException::warning) return LOG_WARNING;
    if (severity & CException::audit) return LOG_NOTICE;
    if (severity & CException::info) return LOG_INFO;
    if (severity & (CException::debug | CException::verbose)) return LOG_DEBUG;
    return LOG_INFO;
}

void CLocalSyslogTarget::reconfigure(const std::string&) { _opened = false; }

void CLocalSyslogTarget::_open(const std::string& process, const CLogFacility& facility)
{
    const char* ident = persistentIdent(process);
    if (_systemLog.open) _systemLog.open(ident, LOG_PID, facility.syslogValue());
    else ::openlog(ident, LOG_PID, facility.syslogValue());
    _opened = true;
    _process = process;
    _facility = facility;
}

void CLocalSyslogTarget::output(const std::string&, const std::string& process, uint64_t, const std::string&,
                                const std::string&, const CLogFacility& facility, uint32_t severity, int64_t,
                                uint64_t, const std::string& text)
{
    if (!_opened || process != _process || facility != _facility) _open(process, facility);
    const int priority = level(severity);
    if (_systemLog.write) _systemLog.write(priority, text);
    else ::syslog(priority, "%s", text.c_str());
}

} // namespace osk
