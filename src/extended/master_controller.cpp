#include "extended/master_controller.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "extended/exception.h"
#include "extended/library_info.h"
#include "standard/guard.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kUnidentified = "Unidentified";

// Built-in shared server key, used until the configuration supplies one.
constexpr CMasterController::server_key_t kDefaultServerKey = {0x5a, 0x65, 0x6c, 0x76, 0x6f, 0x2d, 0x54, 0x46,
                                                                0x54, 0x50, 0x9e, 0x31, 0xc4, 0x07, 0xb2, 0x6d};
} // namespace

CMasterController::CMasterController()
    : _sharedServerKey(kDefaultServerKey), _taskRegistry(new CTaskRegistry)
{
}

CMasterController::~CMasterController()
{
    _facades.clear([](CExceptionFacade*& facade) { delete facade; });
}

CExceptionFacade& CMasterController::exceptionFacade()
{
    return *_facades.mine([this] { return new CExceptionFacade(this); });
}

const CGeneralPtr<CTaskRegistry>& CMasterController::taskRegistry() { return _taskRegistry; }

void CMasterController::syslog(uint32_t severity, const CMessage& message, int errCode)
{
    std::string line = "[" + CException::severityString(severity) + "] [" + message.module() + "] " +
                       message.formatted();
    if (errCode != 0) {
        char buffer[256];
        line += std::string(" (") + strerror_r(errCode, buffer, sizeof(buffer)) + ")";
    }
    line += "\n";
    std::fputs(line.c_str(), stderr);
}

std::string CMasterController::_dir(std::string& stored, const std::string& fallback)
{
    CGuard<CNRMutex> guard(_lock);
    if (stored.empty()) stored = fallback;
    return stored;
}

void CMasterController::_setDir(std::string& stored, const std::string& dir)
{
    CGuard<CNRMutex> guard(_lock);
    stored = dir;
}

std::string CMasterController::binDir() { return _dir(_binDir, "/usr/sbin"); }
std::string CMasterController::varDir() { return _dir(_varDir, "/var/lib/" + appName()); }
std::string CMasterController::libDir() { return _dir(_libDir, "/usr/lib64/" + appName()); }
std::string CMasterController::tmpDir() { return _dir(_tmpDir, "/tmp"); }
std::string CMasterController::shareDir() { return _dir(_shareDir, "/usr/share/" + appName()); }
// The database files live with the rest of the variable data.
std::string CMasterController::dbDir() { return _dir(_dbDir, varDir()); }
std::string CMasterController::etcDir() { return _dir(_etcDir, "/etc/" + appName()); }
std::string CMasterController::runDir() { return _dir(_runDir, "/var/run"); }

void CMasterController::binDir(const std::string& dir) { _setDir(_binDir, dir); }
void CMasterController::varDir(const std::string& dir) { _setDir(_varDir, dir); }
void CMasterController::libDir(const std::string& dir) { _setDir(_libDir, dir); }
void CMasterController::tmpDir(const std::string& dir) { _setDir(_tmpDir, dir); }
void CMasterController::shareDir(const std::string& dir) { _setDir(_shareDir, dir); }
void CMasterController::dbDir(const std::string& dir) { _setDir(_dbDir, dir); }
void CMasterController::etcDir(const std::string& dir) { _setDir(_etcDir, dir); }
void CMasterController::runDir(const std::string& dir) { _setDir(_runDir, dir); }

std::string CMasterController::hostname() const
{
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') return kUnidentified;
    return name;
}

int64_t CMasterController::serverIndex() const
{
    CGuard<CNRMutex> guard(_lock);
    return _serverIndex;
}

void CMasterController::serverIndex(int64_t index)
{
    CGuard<CNRMutex> guard(_lock);
    _serverIndex = index;
    _serverIndexKnown = true;
}

const CMasterController::server_key_t& CMasterController::sharedServerKey() const { return _sharedServerKey; }

void CMasterController::sharedServerKey(const server_key_t& key)
{
    CGuard<CNRMutex> guard(_lock);
    _sharedServerKey = key;
}

bool CMasterController::keepResident() const
{
    CGuard<CNRMutex> guard(_lock);
    return _keepResident;
}

void CMasterController::keepResident(bool resident)
{
    CGuard<CNRMutex> guard(_lock);
    _keepResident = resident;
}

} // namespace osk
