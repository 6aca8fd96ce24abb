#include "extended/master_controller.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "extended/async_log.h"
#include "extended/cmd_log_exception.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "standard/guard.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kUnidentified = "Unidentified";
const char* const kRegisterQueryFailed = "Failed to register query '%1'.";
const char* const kBadQueryName = "A registered query must begin with 'query_' or 'config_'.";
const char* const kQueryPrefix = "query_";
const char* const kConfigPrefix = "config_";
const char* const kLogNotStarted = "Failed to start the log task (%1).";
const char* const kCannotOpenMsgFile = "Cannot open message locale file '%1'.";
const char* const kKeyMsgFile = "system.msg.file";
const char* const kKeyMsgLocale = "system.msg.locale";
const char* const kKeyIndex = "system.index";
const char* const kDefaultLocale = "en_US";
// The shortest name worth looking up: the length of "query_".
constexpr size_t kMinQueryName = 6;

bool hasQueryPrefix(const std::string& name)
{
    return name.compare(0, std::strlen(kQueryPrefix), kQueryPrefix) == 0 ||
           name.compare(0, std::strlen(kConfigPrefix), kConfigPrefix) == 0;
}

std::string known(const std::string& value) { return value.empty() ? std::string(kUnidentified) : value; }

// Built-in shared server key, used until the configuration supplies one.
constexpr CMasterController::server_key_t kDefaultServerKey = {0x5a, 0x65, 0x6c, 0x76, 0x6f, 0x2d, 0x54, 0x46,
                                                                0x54, 0x50, 0x9e, 0x31, 0xc4, 0x07, 0xb2, 0x6d};
} // namespace

CMasterController::CMasterController()
    : _sharedServerKey(kDefaultServerKey),
      _queryResponses(new CStringMap),
      _taskRegistry(new CTaskRegistry),
      _config(new CConfig("", "", ""))
{
    _info.set_string("name", known(CLibraryInfo::name()));
    _info.set_string("version", known(CLibraryInfo::version()));
    _info.set_string("build", known(CLibraryInfo::build()));
    _info.set_string("platform", known(CLibraryInfo::platform()));
    _info.set_string("index", kUnidentified);
}

CMasterController::~CMasterController()
{
    try {
        stopLog();
    } catch (...) {
        // Nothing to report from a destructor.
    }
    _facades.clear([](CExceptionFacade*& facade) { delete facade; });
}

CExceptionFacade& CMasterController::exceptionFacade()
{
    return *_facades.mine([this] { return new CExceptionFacade(this); });
}

const CGeneralPtr<CTaskRegistry>& CMasterController::taskRegistry() { return _taskRegistry; }

CConfigPtr CMasterController::config() const
{
    CGuard<CNRMutex> guard(_configLock);
    return _config;
}

void CMasterController::config(const CConfigPtr& configuration)
{
    CGuard<CNRMutex> guard(_configLock);
    _config = configuration;
}

CAsyncLog* CMasterController::log() const { return _activeLog.load(); }

void CMasterController::startLog()
{
    if (!_log) {
        _log.reset(new CAsyncLog(this));
        const int started = _log->run();
        if (started != 0) {
            _log.reset();
            throw OSK_EXCEPTION(CMessage(kLogNotStarted).push(started), CMessage(), "CMasterController::startLog",
                                kModule);
        }
        _activeLog.store(_log.get());
    }
    _log->refresh();
}

void CMasterController::stopLog()
{
    if (!_log) return;
    _log->shutdown();
    _activeLog.store(nullptr);
    _log.reset();
}

void CMasterController::prime()
{
    const CConfigPtr configuration = config();
    const std::string file = configuration->get_string(kKeyMsgFile, std::string());
    if (!file.empty()) {
        _msgStore.setLocales(configuration->get_string(kKeyMsgLocale, kDefaultLocale));
        if (!_msgStore.execute(varDir(), file))
            throw OSK_EXCEPTION(CMessage(kCannotOpenMsgFile).pushs(CFileReader::filePath(varDir(), file)),
                                CMessage(), "CMasterController::prime", kModule);
    }
    if (configuration->hasValue(kKeyIndex)) serverIndex(configuration->get_int64(kKeyIndex));
}

void CMasterController::syslog(const std::vector<CGeneralPtr<CException>>& exceptions)
{
    if (CAsyncLog* active = _activeLog.load()) {
        if (active->running()) {
            active->syslog(exceptions);
            return;
        }
    }
    for (const auto& exception : exceptions)
        if (exception) syslog(exception->severity(), CCmdLogException::entryMessage(*exception), exception->err_code());
}

void CMasterController::syslog(uint32_t severity, const CMessage& message, int errCode)
{
    if (CAsyncLog* active = _activeLog.load()) {
        if (active->running()) {
            active->syslog(severity, message, errCode);
            return;
        }
    }
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
    _info.set_int64("index", index);
}

void CMasterController::info(CStringMap& out) const
{
    CGuard<CNRMutex> guard(_lock);
    out.merge(_info);
}

void CMasterController::setInfo(const CStringMap& entries)
{
    CGuard<CNRMutex> guard(_lock);
    _info.merge(entries);
}

void CMasterController::registerQueryResponse(const std::string& name, const std::string& value)
{
    if (!hasQueryPrefix(name))
        throw OSK_EXCEPTION(CMessage(kRegisterQueryFailed).pushs(name), CMessage(kBadQueryName),
                            "CMasterController::registerQueryResponse", kModule);
    CGuard<CNRMutex> guard(_queryLock);
    (*_queryResponses)[name] = value;
}

void CMasterController::deregisterQueryResponse(const std::string& name)
{
    CGuard<CNRMutex> guard(_queryLock);
    _queryResponses->erase(name);
}

bool CMasterController::getQueryResponse(const char* name, size_t length, std::string& out) const
{
    if (!name || length < kMinQueryName) return false;
    const std::string key(name, length);
    if (!hasQueryPrefix(key)) return false;
    CGuard<CNRMutex> guard(_queryLock);
    const auto found = _queryResponses->find(key);
    if (found == _queryResponses->end()) return false;
    out = found->second;
    return true;
}

void CMasterController::getQueryResponses(CStringMap& out) const
{
    CGuard<CNRMutex> guard(_queryLock);
    out.merge(*_queryResponses);
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
