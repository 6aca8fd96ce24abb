#include "extended/master_controller.h"

#include <ace/DLL.h>
#include <ace/OS_NS_sys_socket.h>
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "extended/async_log.h"
#include "extended/cmd_log_exception.h"
#include "extended/config_names.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "security/blowfish.h"
#include "standard/guard.h"
#include "standard/hex_store.h"
#include "standard/number_conversion.h"
#include "standard/file_descriptor.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

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
const char* const kCannotReadConfig = "Cannot read configuration file.";
const char* const kRemovedInterruptedWrite =
    "Removed '%1', the temporary file of a configuration write that a crash interrupted.";
const char* const kDefaultServerKeyUsed =
    "The config file does not define a shared server key ('%1'). A default value will be used.";

// Plug-ins.
const char* const kScanning = "Scanning for plugins in '%1'.";
const char* const kFoundPlugins = "Found %1 available plugins.";
const char* const kLoadFailed = "Failed to load plugin '%1' with error '%2'.";
const char* const kNameHoldsPath = "Plugin name '%1' holds a path; plugins are loaded from '%2' only.";
const char* const kNoCreator = "Failed to resolve creator for plugin '%1'.";
const char* const kCreateFailed = "Failed to create plugin '%1'.";
const char* const kAlreadyLoaded = "Plugin '%1' is already loaded.";
const char* const kDependencyFailure = "Dependency failure for plugin '%1'. This plugin requires: '%2'.";
const char* const kInitFailed = "Failed to initialize plugin '%1'.";
const char* const kLoadedPlugins = "Loaded %1 plugins: %2.";
const char* const kRunFailed = "Failed to run plugin '%1'. This plugin will be unloaded.";
const char* const kClosing = "Closing plugin '%1'.";
const char* const kUnloading = "Unloading plugin '%1'.";
const char* const kNoDestroyer = "Failed to resolve destroyer for plugin '%1'.";
const char* const kCreatorSymbol = "pluginCreator";
const char* const kDestroyerSymbol = "pluginDestroyer";

// Process set-up.
const char* const kChrootDone = "This process has changed root to directory '%1'.";
const char* const kChrootFailed = "Cannot change root to directory '%1'.";
const char* const kGidDone = "Group id for this process is now '%1'.";
const char* const kUidDone = "User id for this process is now '%1'.";
const char* const kGidFailed = "Failed to set group id '%1' while dropping privileges.";
const char* const kUidFailed = "Failed to set user id '%1' while dropping privileges.";
const char* const kHandOverFailed = "Cannot give '%1' to user id '%2', which this process assumes.";
const char* const kNoSuchUser = "Cannot find the user '%1' named by '%2'.";
const char* const kNoSuchGroup = "Cannot find the group '%1' named by '%2'.";
const char* const kNoSuchEntry = "The system's user and group databases do not list it.";
const char* const kFileLimits = "Max open file limits are: %1 soft, %2 hard.";
const char* const kZeroFileLimit = "Cannot set max open file limit to 0.";
const char* const kRaiseFileLimit = "Cannot increase max open files limit to %1.";
const char* const kUnknownFileLimit = "Cannot determine the max open files limit.";
const char* const kPidRunning = "Process '%1' appears to be running already.";
const char* const kPidRemoveHint = "If the process is not running, remove the pid file '%1' and try again.";
const char* const kPidOrphanUndeletable = "Failed to delete orphaned pid file '%1'.";
const char* const kPidIsDirectory = "Path '%1' is a directory.";
const char* const kPidOpenFailed = "Failed to open pid file '%1'.";
const char* const kPidWriteFailed = "Failed to write to pid file.";
const char* const kPidCreateFailed = "Failed to create a pid file.";

// The shortest name worth looking up: the length of "query_".
constexpr size_t kMinQueryName = 6;

bool hasQueryPrefix(const char* name, size_t length)
{
    auto startsWith = [name, length](const char* prefix) {
        const size_t size = std::strlen(prefix);
        return length >= size && std::memcmp(name, prefix, size) == 0;
    };
    return startsWith(kQueryPrefix) || startsWith(kConfigPrefix);
}

bool hasQueryPrefix(const std::string& name) { return hasQueryPrefix(name.data(), name.size()); }

std::string known(const std::string& value) { return value.empty() ? std::string(kUnidentified) : value; }

// An exception whose why-text describes a system error number.
CException systemFailure(const CMessage& what, int error, const char* context)
{
    return CException(what, CMessage(std::strerror(error)), context, kModule, __FILE__, __LINE__, CException::error,
                      error);
}

// The names of the "*.so" files in directory (none when it cannot be read).
std::set<std::string> sharedObjects(const std::string& directory)
{
    std::set<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= 3 || name.compare(name.size() - 3, 3, ".so") != 0) continue;
        struct stat info;
        const std::string path = directory + "/" + name;
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.insert(name);
    }
    ::closedir(dir);
    return names;
}


// The process id a pid file holds; 0 when it holds none.
pid_t readPid(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[32] = {};
    const ssize_t count = ::read(fd, buffer, sizeof(buffer) - 1);
    ::close(fd);
    if (count <= 0) return 0;
    const std::string text =
        CStringUtil::trim(std::string(buffer, static_cast<size_t>(count)), CStringUtil::whitespace);
    try {
        const uint32_t value = CNumberConversion(text).toUInt32();
        return value > 0x7fffffffU ? 0 : static_cast<pid_t>(value);
    } catch (const CException&) {
        return 0;
    }
}

bool processRunning(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Built-in shared server key, used until the configuration supplies one.
constexpr CMasterController::server_key_t kDefaultServerKey = {0x5a, 0x65, 0x6c, 0x76, 0x6f, 0x2d, 0x54, 0x46,
                                                                0x54, 0x50, 0x9e, 0x31, 0xc4, 0x07, 0xb2, 0x6d};

// Resolves an entry point defined by the plug-in library itself. A lookup
// through the library's handle also searches its dependencies, and every
// plug-in depends on this library, which exports entry points of the same
// names: a plug-in lacking one must not be handed ours.
void* ownSymbol(ACE_DLL& library, const char* name)
{
    void* symbol = library.symbol(name, 1);
    if (!symbol) return nullptr;
    struct link_map* map = nullptr;
    Dl_info info{};
    if (::dlinfo(library.get_handle(), RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
    if (::dladdr(symbol, &info) == 0 || !info.dli_fname || !map->l_name) return nullptr;
    return std::strcmp(info.dli_fname, map->l_name) == 0 ? symbol : nullptr;
}
} // namespace

CMasterController::CMasterController()
    : _sharedServerKey(kDefaultServerKey),
      _queryResponses(CTrackedFactory::create<CStringMap>()),
      _taskRegistry(CTrackedFactory::create<CTaskRegistry>()),
      _config(CTrackedFactory::create<CConfig>("", "", ""))
{
    // "name" is the host this controller runs on (consoles greet with it);
    // the library's own name is "product".
    _info.set_string("name", hostname());
    _info.set_string("product", known(CLibraryInfo::name()));
    _info.set_string("version", known(CLibraryInfo::version()));
    _info.set_string("build", known(CLibraryInfo::build()));
    _info.set_string("platform", known(CLibraryInfo::platform()));
    _info.set_string("index", kUnidentified);
}

CMasterController::~CMasterController()
{
    try {
        // A controller that is torn down without its orderly stop still
        // returns its plug-ins to their libraries.
        unloadPlugins();
    } catch (...) {
        // Nothing to report from a destructor.
    }
    try {
        stopLog();
    } catch (...) {
        // Nothing to report from a destructor.
    }
    _facades.clear([](CExceptionFacade*& facade) { CTrackedFactory::destroy(facade); });
}

CExceptionFacade& CMasterController::exceptionFacade()
{
    return *_facades.mine([this] { return CTrackedFactory::create<CExceptionFacade>(this); });
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
        _log.reset(CTrackedFactory::create<CAsyncLog>(this));
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

void CMasterController::refreshLog()
{
    if (CAsyncLog* active = log()) active->refresh();
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
    std::string file;
    std::string locales;
    bool indexed = false;
    int64_t index = 0;
    {
        CConfigGuard guard(configuration);
        const CConfigValues values(*configuration, CConfigNames::framework());
        file = values.text(CConfigNames::msgFile());
        locales = values.text(CConfigNames::msgLocale());
        indexed = configuration->hasValue(CConfigNames::systemIndex());
        if (indexed) index = configuration->get_int64(CConfigNames::systemIndex());
    }
    if (!file.empty()) {
        _msgStore.setLocales(locales);
        if (!_msgStore.execute(varDir(), file))
            throw OSK_EXCEPTION(CMessage(kCannotOpenMsgFile).pushs(CFileReader::filePath(varDir(), file)),
                                CMessage(), "CMasterController::prime", kModule);
    }
    if (indexed) serverIndex(index);
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

bool CMasterController::logs(uint32_t) const
{
    return true;
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
// The storage path of the configuration, read on first use.
std::string CMasterController::varDir()
{
    {
        CGuard<CNRMutex> guard(_lock);
        if (!_varDir.empty()) return _varDir;
    }
    return _dir(_varDir, config()->get_string(CConfigNames::storagePath(), "/var/lib/" + appName()));
}
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
    _queryProviders.erase(name);
    (*_queryResponses)[name] = value;
}

void CMasterController::registerQueryProvider(const std::string& name, const query_provider_t& provider)
{
    if (!hasQueryPrefix(name))
        throw OSK_EXCEPTION(CMessage(kRegisterQueryFailed).pushs(name), CMessage(kBadQueryName),
                            "CMasterController::registerQueryProvider", kModule);
    CGuard<CNRMutex> guard(_queryLock);
    _queryResponses->erase(name);
    _queryProviders[name] = provider;
}

void CMasterController::deregisterQueryResponse(const std::string& name)
{
    CGuard<CNRMutex> guard(_queryLock);
    _queryResponses->erase(name);
    _queryProviders.erase(name);
}

bool CMasterController::getQueryResponse(const char* name, size_t length, std::string& out) const
{
    // Every TFTP request reaches here first: one that cannot be a query
    // (it starts with its opcode) costs no copy of its name.
    if (!name || length < kMinQueryName || !hasQueryPrefix(name, length)) return false;
    const std::string key(name, length);
    query_provider_t provider;
    {
        CGuard<CNRMutex> guard(_queryLock);
        const auto found = _queryResponses->find(key);
        if (found != _queryResponses->end()) {
            out = found->second;
            return true;
        }
        const auto made = _queryProviders.find(key);
        if (made == _queryProviders.end()) return false;
        provider = made->second;
    }
    out = provider();
    return true;
}

void CMasterController::getQueryResponses(CStringMap& out) const
{
    CGuard<CNRMutex> guard(_queryLock);
    out.merge(*_queryResponses);
}

CMasterController::server_key_t CMasterController::sharedServerKey()
{
    const std::string text = config()->get_string(CConfigNames::sharedKey(), std::string());
    server_key_t key = kDefaultServerKey;
    if (CStringUtil::trim(text).empty()) {
        syslog(CException::warning, CMessage(kDefaultServerKeyUsed, kModule).pushs(CConfigNames::sharedKey()));
    } else {
        const CHexStore bytes(CStringUtil::trim(text), "-");
        key.fill(0);
        std::copy_n(bytes.begin(), std::min(bytes.size(), key.size()), key.begin());
    }
    CGuard<CNRMutex> guard(_lock);
    _sharedServerKey = key;
    return key;
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

int CMasterController::init()
{
    initSockets();
    const CConfigPtr configuration = config();
    readConfig(configuration);
    configuration->mergeUpdates(varDir());
    startLog();
    prime();
    initPrivateKey();
    loadPlugins(configuration);
    setChroot(configuration);
    setPrivileges(configuration);
    reportPlugins();
    return 0;
}

void CMasterController::readConfig(const CConfigPtr& configuration)
{
    errno = 0;
    if (configuration->read(std::string())) {
        removeInterruptedConfigWrites(configuration);
        return;
    }
    const int error = errno != 0 ? errno : ENOENT;
    throw systemFailure(CMessage(kCannotReadConfig), error, "CMasterController::readConfig");
}

void CMasterController::removeInterruptedConfigWrites(const CConfigPtr& configuration)
{
    for (const std::string& path : configuration->removeInterruptedWrites())
        syslog(CException::info, CMessage(kRemovedInterruptedWrite, kModule).pushs(path));
}

// ---------------------------------------------------------------- plug-ins

void CMasterController::loadPlugins(const CConfigPtr& configuration)
{
    const std::string directory = libDir();
    syslog(CException::info, CMessage(kScanning, kModule).pushs(directory));
    const std::set<std::string> available = sharedObjects(directory);
    syslog(CException::info, CMessage(kFoundPlugins, kModule).push(available.size()));

    CPlugin::plugin_list_t fresh;
    const std::string named = configuration->get_string(
        CConfigNames::plugins(), CConfigNames::framework().defaults().get_string(CConfigNames::plugins()));
    for (const std::string& name : CStringUtil::split(named)) {
        // Code is loaded from the plug-in directory only: a name that holds
        // a path (a library anywhere on the machine) is refused.
        if (name.find('/') != std::string::npos || name == "..") {
            syslog(CException::error, CMessage(kNameHoldsPath, kModule).pushs(name).pushs(directory));
            continue;
        }
        // The file the name stands for; a name matching none is tried as
        // given so that the loader's own error tells what is wrong.
        std::string file = name;
        for (const std::string& candidate : {name, name + ".so", "lib" + name + ".so"}) {
            if (available.count(candidate) != 0) {
                file = candidate;
                break;
            }
        }
        CPlugin* plugin = _loadPlugin(name, directory + "/" + file);
        if (!plugin) continue;
        const std::string pluginName = plugin->pluginName();
        const CPlugin::plugin_list_t loaded = findAllPlugins();
        if (std::none_of(loaded.begin(), loaded.end(),
                         [&pluginName](CPlugin* other) { return other->pluginName() == pluginName; })) {
            CGuard<CNRMutex> guard(_pluginLock);
            _plugins.push_back(plugin);
            fresh.push_back(plugin);
            continue;
        }
        syslog(CException::error, CMessage(kAlreadyLoaded, kModule).pushs(pluginName));
        _unloadPlugin(plugin);
    }
    _openPlugins(fresh);
}

CPlugin* CMasterController::_loadPlugin(const std::string& name, const std::string& path)
{
    std::unique_ptr<ACE_DLL> library(new ACE_DLL(true));
    if (library->open(path.c_str(), RTLD_NOW) != 0) {
        const ACE_TCHAR* reason = library->error();
        syslog(CException::error, CMessage(kLoadFailed, kModule).pushs(name).pushs(reason ? reason : "unknown"));
        return nullptr;
    }
    const auto creator = reinterpret_cast<plugin_creator_t>(ownSymbol(*library, kCreatorSymbol));
    if (!creator) {
        syslog(CException::error, CMessage(kNoCreator, kModule).pushs(name));
        return nullptr;
    }
    CPlugin* plugin = nullptr;
    try {
        plugin = creator();
    } catch (const CException& failure) {
        failure.record(exceptionFacade());
        exceptionFacade().log();
    } catch (...) {
        // Reported below like a creator that returned nothing.
    }
    if (!plugin) {
        syslog(CException::error, CMessage(kCreateFailed, kModule).pushs(name));
        return nullptr;
    }
    plugin->controller(this);
    plugin->handle(library.release());
    return plugin;
}

void CMasterController::_openPlugins(const CPlugin::plugin_list_t& fresh)
{
    // Plug-ins loaded by this call and not opened yet.
    std::set<CPlugin*> unopened(fresh.begin(), fresh.end());

    // The interfaces a plug-in requires must be offered by another loaded
    // plug-in. Leaving one out can take away what a third one requires, so
    // the check repeats until every remaining plug-in is satisfied; it runs
    // again after opening, when failed plug-ins have left.
    const auto dropUnsatisfied = [this, &unopened] {
        bool changed = true;
        while (changed) {
            changed = false;
            for (CPlugin* plugin : findAllPlugins()) {
                const std::string required = plugin->requiredInterfaces();
                bool satisfied = true;
                for (const std::string& type : CStringUtil::split(required)) {
                    const CPlugin::plugin_list_t offering = findPluginTypes(type);
                    satisfied = satisfied && std::any_of(offering.begin(), offering.end(),
                                                         [plugin](CPlugin* other) { return other != plugin; });
                }
                if (satisfied) continue;
                syslog(CException::error,
                       CMessage(kDependencyFailure, kModule).pushs(plugin->pluginName()).pushs(required));
                if (unopened.erase(plugin) == 0) {
                    syslog(CException::info, CMessage(kClosing, kModule).pushs(plugin->pluginName()));
                    plugin->closePlugin();
                }
                _unloadPlugin(plugin);
                changed = true;
                break;
            }
        }
    };

    dropUnsatisfied();
    bool failures = false;
    for (CPlugin* plugin : fresh) {
        if (unopened.count(plugin) == 0) continue;  // left already
        unopened.erase(plugin);
        int result = -1;
        try {
            if (plugin->authorized(findAllPlugins())) result = plugin->openPlugin();
        } catch (const CException& failure) {
            failure.record(exceptionFacade());
            exceptionFacade().log();
        }
        if (result >= 0) continue;
        syslog(CException::error, CMessage(kInitFailed, kModule).pushs(plugin->pluginName()));
        _unloadPlugin(plugin);
        failures = true;
    }
    if (failures) dropUnsatisfied();
}

void CMasterController::reportPlugins()
{
    const CPlugin::plugin_list_t loaded = findAllPlugins();
    std::string names;
    for (CPlugin* plugin : loaded) {
        if (!names.empty()) names += ", ";
        names += plugin->pluginName();
    }
    syslog(CException::info, CMessage(kLoadedPlugins, kModule).push(loaded.size()).pushs(names));
}

void CMasterController::runPlugins()
{
    for (CPlugin* plugin : _pluginsByPriority()) {
        int result = -1;
        try {
            result = plugin->runPlugin();
        } catch (const CException& failure) {
            failure.record(exceptionFacade());
            exceptionFacade().log();
        }
        if (result == 0) continue;
        syslog(CException::error, CMessage(kRunFailed, kModule).pushs(plugin->pluginName()));
        try {
            plugin->shutdownPlugin();
            plugin->closePlugin();
        } catch (const CException& failure) {
            failure.record(exceptionFacade());
            exceptionFacade().log();
        }
        _unloadPlugin(plugin);
    }
}

void CMasterController::shutdownPlugins()
{
    CPlugin::plugin_list_t ordered = _pluginsByPriority();
    ordered.reverse();
    for (CPlugin* plugin : ordered) {
        try {
            plugin->shutdownPlugin();
        } catch (const CException& failure) {
            failure.record(exceptionFacade());
            exceptionFacade().log();
        }
    }
    for (CPlugin* plugin : ordered) {
        syslog(CException::info, CMessage(kClosing, kModule).pushs(plugin->pluginName()));
        try {
            plugin->closePlugin();
        } catch (const CException& failure) {
            failure.record(exceptionFacade());
            exceptionFacade().log();
        }
    }
}

void CMasterController::unloadPlugins()
{
    CPlugin::plugin_list_t loaded = findAllPlugins();
    loaded.reverse();
    for (CPlugin* plugin : loaded) _unloadPlugin(plugin);
}

void CMasterController::_unloadPlugin(CPlugin* plugin)
{
    {
        CGuard<CNRMutex> guard(_pluginLock);
        _plugins.remove(plugin);
    }
    const std::string name = plugin->pluginName();
    syslog(CException::info, CMessage(kUnloading, kModule).pushs(name));
    std::unique_ptr<ACE_DLL> library(static_cast<ACE_DLL*>(plugin->handle()));
    const auto destroyer =
        library ? reinterpret_cast<plugin_destroyer_t>(ownSymbol(*library, kDestroyerSymbol)) : nullptr;
    if (destroyer) {
        destroyer(plugin);
    } else {
        // The object still goes, through its own virtual destructor, while
        // its code is loaded.
        syslog(CException::error, CMessage(kNoDestroyer, kModule).pushs(name));
        CTrackedFactory::destroy(plugin);
    }
    if (library) library->close();
}

CPlugin::plugin_list_t CMasterController::findPluginTypes(const std::string& type) const
{
    CPlugin::plugin_list_t found;
    for (CPlugin* plugin : findAllPlugins())
        if (plugin->conformsToInterface(type)) found.push_back(plugin);
    return found;
}

CPlugin::plugin_list_t CMasterController::findAllPlugins() const
{
    CGuard<CNRMutex> guard(_pluginLock);
    return _plugins;
}

CPlugin::plugin_list_t CMasterController::_pluginsByPriority() const
{
    std::vector<CPlugin*> ordered;
    for (CPlugin* plugin : findAllPlugins()) ordered.push_back(plugin);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](CPlugin* left, CPlugin* right) { return left->runPriority() < right->runPriority(); });
    return CPlugin::plugin_list_t(ordered.begin(), ordered.end());
}

// ----------------------------------------------------------- process set-up

void CMasterController::setChroot(const CConfigPtr& configuration)
{
    const std::string path = configuration->get_string(
        CConfigNames::chrootPath(), CConfigNames::framework().defaults().get_string(CConfigNames::chrootPath()));
    if (path.empty()) return;
    if (::chroot(path.c_str()) != 0 || ::chdir("/") != 0)
        throw systemFailure(CMessage(kChrootFailed).pushs(path), errno, "CMasterController::setChroot");
    syslog(CException::info, CMessage(kChrootDone, kModule).pushs(path));
}

namespace {

// The ids the privilege keys name: a number key wins over its name key. A
// user named without a group brings its own primary group.
struct CPrivilegeIds {
    bool hasUid = false;
    bool hasGid = false;
    uint32_t uid = 0;
    uint32_t gid = 0;
};

[[noreturn]] void throwUnknownName(const char* what, const std::string& name, const std::string& key)
{
    throw CException(CMessage(what, kModule).pushs(name).pushs(key), CMessage(kNoSuchEntry, kModule),
                     "CMasterController::setPrivileges", kModule, __FILE__, __LINE__);
}

CPrivilegeIds privilegeIds(const CConfig& configuration)
{
    CPrivilegeIds ids;
    const std::string user = configuration.get_string(CConfigNames::privUser(), std::string());
    const std::string groupName = configuration.get_string(CConfigNames::privGroup(), std::string());
    if (!user.empty()) {
        const passwd* entry = ::getpwnam(user.c_str());
        if (!entry) throwUnknownName(kNoSuchUser, user, CConfigNames::privUser());
        ids.hasUid = ids.hasGid = true;
        ids.uid = entry->pw_uid;
        ids.gid = entry->pw_gid;
    }
    if (!groupName.empty()) {
        const group* entry = ::getgrnam(groupName.c_str());
        if (!entry) throwUnknownName(kNoSuchGroup, groupName, CConfigNames::privGroup());
        ids.hasGid = true;
        ids.gid = entry->gr_gid;
    }
    if (configuration.hasValue(CConfigNames::privGid())) {
        ids.hasGid = true;
        ids.gid = configuration.get_uint32(CConfigNames::privGid());
    }
    if (configuration.hasValue(CConfigNames::privUid())) {
        ids.hasUid = true;
        ids.uid = configuration.get_uint32(CConfigNames::privUid());
    }
    return ids;
}

using CDirectoryStream = std::unique_ptr<DIR, int (*)(DIR*)>;

// Gives what directory holds, and everything beneath, to uid (and gid,
// unless it is -1) where root owns it. Symbolic links are changed
// themselves, never followed.
void handOverEntries(const std::string& directory, uid_t uid, gid_t gid)
{
    const CDirectoryStream dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = directory + "/" + name;
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) continue;
        if (info.st_uid == 0 && ::lchown(path.c_str(), uid, gid) != 0)
            throw systemFailure(CMessage(kHandOverFailed).pushs(path).push(static_cast<uint32_t>(uid)), errno,
                                "CMasterController::setPrivileges");
        if (S_ISDIR(info.st_mode)) handOverEntries(path, uid, gid);
    }
}

} // namespace

void CMasterController::setPrivileges(const CConfigPtr& configuration)
{
    CPrivilegeIds ids;
    {
        CConfigGuard guard(configuration);
        ids = privilegeIds(*configuration);
    }
    // What the privileged start made in the storage directory (the private
    // key, the embedded database and the engine's lock files kept there, the
    // upload journal) must stay usable once the user changes. A storage
    // directory that already belongs to that user is the service's own (the
    // package makes it so): what root made in it goes to the user too.
    // Anything else is left as it is.
    if (ids.hasUid && ids.uid != 0 && ::geteuid() == 0) {
        const std::string storage = varDir();
        struct stat info;
        if (::stat(storage.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ids.uid)
            handOverEntries(storage, static_cast<uid_t>(ids.uid),
                            ids.hasGid ? static_cast<gid_t>(ids.gid) : static_cast<gid_t>(-1));
    }
    // The group goes first: once the user id is dropped the group can no
    // longer be changed.
    if (ids.hasGid) {
        const uint32_t gid = ids.gid;
        // Supplementary groups of the starting user (root's among them) go
        // too; only a privileged process can do so, and only it needs to.
        if (::geteuid() == 0) {
            const gid_t only = static_cast<gid_t>(gid);
            if (::setgroups(1, &only) != 0)
                throw systemFailure(CMessage(kGidFailed).push(gid), errno, "CMasterController::setPrivileges");
        }
        if (::setgid(static_cast<gid_t>(gid)) != 0)
            throw systemFailure(CMessage(kGidFailed).push(gid), errno, "CMasterController::setPrivileges");
        syslog(CException::info, CMessage(kGidDone, kModule).push(gid));
    }
    if (ids.hasUid) {
        const uint32_t uid = ids.uid;
        if (::setuid(static_cast<uid_t>(uid)) != 0)
            throw systemFailure(CMessage(kUidFailed).push(uid), errno, "CMasterController::setPrivileges");
        syslog(CException::info, CMessage(kUidDone, kModule).push(uid));
    }
}

void CMasterController::setOpenFileLimit(int limit)
{
    const char* const context = "CMasterController::setOpenFileLimit";
    if (limit == 0) throw OSK_EXCEPTION(CMessage(kZeroFileLimit), CMessage(), context, kModule);
    if (limit < 0) throw systemFailure(CMessage(kRaiseFileLimit).push(limit), EINVAL, context);
    struct rlimit limits;
    if (::getrlimit(RLIMIT_NOFILE, &limits) != 0)
        throw systemFailure(CMessage(kUnknownFileLimit), errno, context);
    const rlim_t wanted = static_cast<rlim_t>(limit);
    limits.rlim_cur = wanted;
    // Only a privileged process may raise the hard limit, and not beyond the
    // system's ceiling; the refusal is reported as such.
    if (limits.rlim_max != RLIM_INFINITY && wanted > limits.rlim_max) limits.rlim_max = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &limits) != 0)
        throw systemFailure(CMessage(kRaiseFileLimit).push(limit), errno, context);
    if (::getrlimit(RLIMIT_NOFILE, &limits) != 0)
        throw systemFailure(CMessage(kUnknownFileLimit), errno, context);
    syslog(CException::info, CMessage(kFileLimits, kModule)
                                 .push(static_cast<uint64_t>(limits.rlim_cur))
                                 .push(static_cast<uint64_t>(limits.rlim_max)));
}

void CMasterController::createPidFile(const std::string& path)
{
    const char* const context = "CMasterController::createPidFile";
    const std::string file = path.empty() ? runDir() + "/" + appName() + ".pid" : path;
    struct stat info;
    if (::lstat(file.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throw OSK_EXCEPTION(CMessage(kPidCreateFailed), CMessage(kPidIsDirectory).pushs(file), context, kModule);
        const pid_t owner = readPid(file);
        if (owner != 0 && owner != ::getpid() && processRunning(owner))
            throw OSK_EXCEPTION(CMessage(kPidRunning).push(static_cast<int64_t>(owner)),
                                CMessage(kPidRemoveHint).pushs(file), context, kModule);
        // The process that wrote it is gone (or it names nobody, or us).
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            throw systemFailure(CMessage(kPidOrphanUndeletable).pushs(file), errno, context);
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        throw CException(CMessage(kPidCreateFailed), CMessage(kPidOpenFailed).pushs(file), context, kModule, __FILE__,
                         __LINE__, CException::error, error);
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(::getpid()));
    const bool written = CFileDescriptor::writeAll(fd, text);
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(file.c_str());
        throw CException(CMessage(kPidCreateFailed), CMessage(kPidWriteFailed), context, kModule, __FILE__, __LINE__,
                         CException::error, written ? errno : error);
    }
    CGuard<CNRMutex> guard(_lock);
    _pidFile = file;
}

void CMasterController::deletePidFile()
{
    std::string file;
    {
        CGuard<CNRMutex> guard(_lock);
        file.swap(_pidFile);
    }
    if (!file.empty()) ::unlink(file.c_str());
}

void CMasterController::initPrivateKey()
{
    const std::pair<std::string, std::string> location = _privateKeyLocation();
    CGuard<CNRMutex> guard(_lock);
    _loadPrivateKey(location);
}

CBlowfish CMasterController::passwordCipher()
{
    const std::pair<std::string, std::string> location = _privateKeyLocation();
    CGuard<CNRMutex> guard(_lock);
    if (location != _privateKeyFile) _loadPrivateKey(location);
    return _passwordCipher;
}

std::pair<std::string, std::string> CMasterController::_privateKeyLocation()
{
    const CConfigPtr configuration = config();
    CConfigGuard guard(configuration);
    return {configuration->get_path(CConfigNames::privateKeyPath(), varDir()),
            configuration->get_string(CConfigNames::privateKeyFile(), CConfigNames::defaultPrivateKeyFile())};
}

void CMasterController::_loadPrivateKey(const std::pair<std::string, std::string>& location)
{
    CBlowfish::create_key_file(location.first, location.second);
    // A key file that is there but short or unreadable fails here (at a
    // start: the start) and leaves the key kept before in place.
    CBlowfish cipher;
    cipher.init_from_file(location.first, location.second, CBlowfish::keyFileLength);
    _passwordCipher = cipher;
    _privateKeyFile = location;
}

// Sockets need no library start on this platform; the calls keep ACE's
// count of socket users balanced.
void CMasterController::initSockets() { ACE_OS::socket_init(); }

void CMasterController::deinitSockets() { ACE_OS::socket_fini(); }

} // namespace osk
