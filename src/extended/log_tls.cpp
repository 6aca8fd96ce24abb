#include "extended/log_tls.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "extended/config_names.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "extended/ext_file_target.h"
#include "extended/local_syslog_target.h"
#include "extended/null_target.h"
#include "extended/remote_syslog_target.h"
#include "extended/std_out_target.h"
#include "standard/string_map.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kCannotCreate = "Cannot create log target '%1'.";
const char* const kUnknownTarget = "Unknown target name.";
const char* const kConfiguring = "Configuring log target '%1' with setting '%2'.";
const char* const kConfigureFailed =
    "Failed to configure log target '%1' with setting '%2'. Target is being disabled.";
const char* const kLoggingTo = "The system is logging '%1' to '%2'.";

const char* const kKeyTargetPrefix = "system.log.target.";

// Registered targets are keyed by their address, which configured names
// (plain words) can never collide with.
std::string registeredKey(const CLogTLS::target_ptr_t& target)
{
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "<registered:%p>", static_cast<const void*>(target.get()));
    return buffer;
}
} // namespace

CLogTLS::CLogTLS(std::string hostName, std::string processName, task_namer_t taskNamer)
    : _hostName(std::move(hostName)),
      _processName(std::move(processName)),
      _taskNamer(std::move(taskNamer)),
      _mask(CException::severityMask(CConfigNames::framework().defaults().get_string(CConfigNames::logLevels())))
{
}

CLogTLS::target_ptr_t CLogTLS::createTarget(const std::string& name)
{
    if (name == "null") return target_ptr_t(CTrackedFactory::create<CNullTarget>());
    if (name == "stdout") return target_ptr_t(CTrackedFactory::create<CStdOutTarget>());
    if (name == "file") return target_ptr_t(CTrackedFactory::create<CExtFileTarget>());
    if (name == "syslog" || name == "eventlog")
        return target_ptr_t(CTrackedFactory::create<CLocalSyslogTarget>());
    if (name == "rsyslog") return target_ptr_t(CTrackedFactory::create<CRemoteSyslogTarget>());
    throw OSK_EXCEPTION(CMessage(kCannotCreate).pushs(name), CMessage(kUnknownTarget), "CLogTLS::createTarget",
                        kModule);
}

void CLogTLS::processTargets(uint32_t severity, uint64_t threadId, int errCode, const CMessage& message)
{
    if ((severity & _mask) == 0 || _targets.empty()) return;
    std::string text = message.formatted();
    if (errCode != 0) {
        char buffer[256];
        text += " (";
        text += strerror_r(errCode, buffer, sizeof(buffer));
        text += ")";
    }
    const std::string taskName = _taskNamer ? _taskNamer(threadId) : std::string();
    for (auto& named : _targets) {
        try {
            named.second.target->output(_hostName, _processName, threadId, taskName, message.module(), _facility,
                                        severity, message.id(), 0, text);
        } catch (const CException& e) {
            const std::string line = "[error] [" + named.first + "] " + e.printableError() + "\n";
            if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
                // Nowhere left to report to.
            }
        }
    }
}

void CLogTLS::_log(uint32_t severity, const CMessage& message)
{
    processTargets(severity, static_cast<uint64_t>(pthread_self()), 0, message);
}

void CLogTLS::configure(const CStringMap& config)
{
    const CConfigValues values(config, CConfigNames::framework());
    const std::string targetList = values.text(CConfigNames::logTargets());
    const std::string levels = values.text(CConfigNames::logLevels());
    const uint32_t mask = CException::severityMask(levels);
    const CLogFacility facility(values.text(CConfigNames::logFacility()));

    // Create every target first: an unknown name leaves the log as it was.
    std::vector<std::pair<std::string, target_ptr_t>> created;
    for (const std::string& name : CStringUtil::split(targetList)) created.emplace_back(name, createTarget(name));

    for (auto it = _targets.begin(); it != _targets.end();) {
        if (it->second.registered) ++it;
        else it = _targets.erase(it);
    }
    _mask = mask;
    _facility = facility;

    // The report of the configuration is written once the new targets are
    // in place, so every target it lists (the first one included) receives
    // its own "Configuring log target" line.
    std::vector<std::pair<uint32_t, CMessage>> report;
    std::string active;
    for (auto& target : created) {
        const std::string setting = values.text(kKeyTargetPrefix + target.first);
        report.emplace_back(CException::info, CMessage(kConfiguring, kModule).pushs(target.first).pushs(setting));
        try {
            target.second->reconfigure(setting);
        } catch (const CException& e) {
            report.emplace_back(CException::error,
                                CMessage(kConfigureFailed, kModule).pushs(target.first).pushs(setting));
            report.emplace_back(CException::error, CMessage(e.printableError(), e.module()));
            continue;
        }
        _targets[target.first] = entry_t{target.second, false};
        if (!active.empty()) active += ',';
        active += target.first;
    }
    report.emplace_back(CException::info, CMessage(kLoggingTo, kModule).pushs(CStringUtil::trim(levels)).pushs(active));
    for (const auto& entry : report) _log(entry.first, entry.second);
}

void CLogTLS::registerTarget(const target_ptr_t& target)
{
    if (target) _targets[registeredKey(target)] = entry_t{target, true};
}

void CLogTLS::deregisterTarget(const target_ptr_t& target)
{
    if (target) _targets.erase(registeredKey(target));
}

} // namespace osk
