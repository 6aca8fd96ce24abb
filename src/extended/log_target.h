#pragma once

#include <cstdint>
#include <string>

#include "extended/log_facility.h"

namespace osk {

// One destination of log entries. A target is created by name, configured
// with its setting text (reconfigure) and then receives every entry that
// passes the log's severity filter. Targets are used only by the thread that
// owns them, so they need no locks. Failures are thrown as osk::CException.
class CLogTarget {
public:
    virtual ~CLogTarget() = default;

    // Writes one entry. reserved is always 0.
    virtual void output(const std::string& host, const std::string& process, uint64_t threadId,
                        const std::string& taskName, const std::string& module, const CLogFacility& facility,
                        uint32_t severity, int64_t msgId, uint64_t reserved, const std::string& text) = 0;
    // Applies the target's setting ("system.log.target.<name>").
    virtual void reconfigure(const std::string& setting) = 0;

    // The local date and time as strftime "%x %X".
    static std::string localTimeText();
    // The local date and time in the asctime form, without its line feed.
    static std::string asctimeText();
    // "[severity] [local time] [task] [thread] [module] text", no line feed.
    static std::string standardLine(uint32_t severity, const std::string& taskName, uint64_t threadId,
                                    const std::string& module, const std::string& text);
};

} // namespace osk
