#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "extended/log_facility.h"
#include "extended/log_target.h"
#include "extended/message.h"
#include "standard/general_ptr.h"

namespace osk {

class CStringMap;

// The log state of one thread of the log task: its targets, the process
// name, the facility and the severity mask. Only its own thread touches it,
// so neither it nor its targets need locks.
class CLogTLS {
public:
    using target_ptr_t = CGeneralPtr<CLogTarget>;
    // Names the task of a thread id ("unregistered-task" when it has none).
    using task_namer_t = std::function<std::string(uint64_t threadId)>;

    CLogTLS(std::string hostName, std::string processName, task_namer_t taskNamer);

    // Writes one entry to every target when its severity shares a bit with
    // the mask. The text is the formatted message, with " (system error
    // text)" appended when errCode is not zero. A target that fails reports
    // on standard error (reporting through the log would reach it again).
    void processTargets(uint32_t severity, uint64_t threadId, int errCode, const CMessage& message);

    // Rebuilds the configured targets from the configuration keys
    // "system.log.targets", ".levels", ".facility" and
    // "system.log.target.<name>". An unknown target name throws "Cannot
    // create log target '%1'." before anything changes; a target whose
    // setting fails is logged and left out. Registered targets stay.
    void configure(const CStringMap& config);

    // Targets of the log's users, kept across configure().
    void registerTarget(const target_ptr_t& target);
    void deregisterTarget(const target_ptr_t& target);

    // A new target of a configurable name ("null", "stdout", "file",
    // "syslog", "eventlog", "rsyslog"); any other throws.
    static target_ptr_t createTarget(const std::string& name);

    uint32_t severityMask() const { return _mask; }
    void severityMask(uint32_t mask) { _mask = mask; }
    const CLogFacility& facility() const { return _facility; }
    const std::string& processName() const { return _processName; }
    size_t targetCount() const { return _targets.size(); }
    bool hasTarget(const std::string& name) const { return _targets.count(name) != 0; }

private:
    struct entry_t {
        target_ptr_t target;
        bool registered;
    };

    void _log(uint32_t severity, const CMessage& message);

    std::string _hostName;
    std::string _processName;
    task_namer_t _taskNamer;
    CLogFacility _facility;
    uint32_t _mask;
    std::map<std::string, entry_t> _targets;
};

} // namespace osk
