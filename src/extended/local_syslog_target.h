#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "extended/log_target.h"

namespace osk {

// Forwards entries to the local system log: openlog(3) with the process
// name, LOG_PID and the configured facility, then syslog(3) of the text
// ("%s") at the level the severity maps to (see level()). Registered under
// the names "syslog" and "eventlog". There are no options.
class CLocalSyslogTarget : public CLogTarget {
public:
    // The two calls into the system log. Tests replace them to observe what
    // would be logged; empty functions mean openlog(3) and syslog(3).
    struct system_log_t {
        std::function<void(const char* ident, int option, int facility)> open;
        std::function<void(int level, const std::string& text)> write;
    };

    explicit CLocalSyslogTarget(system_log_t systemLog = system_log_t());

    void output(const std::string& host, const std::string& process, uint64_t threadId,
                const std::string& taskName, const std::string& module, const CLogFacility& facility,
                uint32_t severity, int64_t msgId, uint64_t reserved, const std::string& text) override;
    void reconfigure(const std::string& setting) override;

    // info 6, warning 4, error 3, debug and verbose 7, audit 5. With several
    // bits set the most severe wins; no known bit counts as info.
    static int level(uint32_t severity);

private:
    void _open(const std::string& process, const CLogFacility& facility);

    system_log_t _systemLog;
    bool _opened = false;
    std::string _process;
    CLogFacility _facility;
};

} // namespace osk
