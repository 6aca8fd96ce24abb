#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "extended/config.h"
#include "extended/exception_facade.h"
#include "extended/message.h"
#include "extended/message_store.h"
#include "extended/plugin.h"
#include "extended/task_registry.h"
#include "security/blowfish.h"
#include "standard/general_ptr.h"
#include "standard/mr_event.h"
#include "standard/multi_ptr.h"
#include "standard/nr_mutex.h"
#include "standard/string_map.h"
#include "standard/tracked_factory.h"

namespace osk {

class CAsyncLog;
class CShutdownNotifier;

// The process-wide object every task, command and plug-in is built with. This
// abstract base holds what every controller shares: the identity record, the
// installation directories, the per-thread exception facades, the task
// registry, the published query responses and the shutdown handshake. The
// concrete controller supplies the application's name, its shutdown notifier
// and its main loop.
class CMasterController {
public:
    // The shared server key: 16 bytes.
    using server_key_t = std::array<uint8_t, 16>;

    CMasterController();
    virtual ~CMasterController();
    CMasterController(const CMasterController&) = delete;
    CMasterController& operator=(const CMasterController&) = delete;

    virtual std::string type() const = 0;
    // Starts the process: sockets, the configuration (read from its file,
    // then the queued updates of varDir()/merge.conf), the log, the message
    // store, the private key, the plug-ins, the changed root, the dropped
    // privileges and the report of the loaded plug-ins, in that order.
    // Returns 0; a failing step is thrown. Concrete controllers override it
    // and call it.
    virtual int init();
    virtual CShutdownNotifier& shutdownNotifier() const = 0;
    virtual std::string appName() const = 0;
    // The calling thread's exception facade, created on first use.
    virtual CExceptionFacade& exceptionFacade();
    virtual const CGeneralPtr<CTaskRegistry>& taskRegistry();
    virtual int daemon() = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual std::string binDir();
    virtual std::string varDir();
    virtual std::string libDir();
    virtual std::string tmpDir();
    virtual std::string shareDir();
    virtual std::string dbDir();

    // Writes one log entry. Until the asynchronous log task is attached this
    // writes one line to standard error; the logging front end overrides it
    // to post the entry to the log task instead. Facades and tasks log only
    // through here.
    virtual void syslog(uint32_t severity, const CMessage& message, int errCode = 0);
    // Writes recorded exceptions, each with its own severity, module and
    // system error number: through the log task when it runs, otherwise one
    // syslog() call each.
    virtual void syslog(const std::vector<CGeneralPtr<CException>>& exceptions);
    // Whether an entry of this severity would be written. Callers on busy
    // paths ask first and build no message that would be dropped. This base
    // writes every entry.
    virtual bool logs(uint32_t severity) const;

    // The configuration. This base holds an empty one until a concrete
    // controller reads its file (or overrides the accessor).
    virtual CConfigPtr config() const;
    void config(const CConfigPtr& configuration);

    // Reads the configuration's file (its fqpn()) and removes what crashed
    // writes left beside it; throws when it cannot read it.
    virtual void readConfig(const CConfigPtr& configuration);
    // Removes the temporaries of configuration writes that a crash
    // interrupted (CConfig::removeInterruptedWrites()) and logs each one.
    // Only a serving daemon calls it: a dry run changes no file.
    void removeInterruptedConfigWrites(const CConfigPtr& configuration);

    // The logging front end, the "async-log" task; null until startLog().
    virtual CAsyncLog* log() const;
    // Creates and runs the log task and configures its targets from
    // config(); from then on syslog() goes through it. A configuration that
    // cannot be applied is thrown (the log task keeps running).
    void startLog();
    // Reconfigures the running log task from config() (its targets, levels
    // and mode); nothing before startLog(). A configuration that cannot be
    // applied is thrown.
    virtual void refreshLog();
    // Writes what is queued and stops the log task; syslog() falls back to
    // standard error. Concrete controllers call it from their destructor,
    // before the parts the log thread uses are gone.
    void stopLog();

    // Fills the message store from "system.msg.file" (read from varDir()),
    // for the locales of "system.msg.locale" (default "en_US"), and takes the
    // server index from "system.index". An empty file key loads nothing. A
    // file that cannot be read throws "Cannot open message locale file '%1'.".
    void prime();

    // Directories set explicitly (by the configuration or a test).
    void binDir(const std::string& dir);
    void varDir(const std::string& dir);
    void libDir(const std::string& dir);
    void tmpDir(const std::string& dir);
    void shareDir(const std::string& dir);
    void dbDir(const std::string& dir);
    // Configuration and run-time (pid file) directories.
    std::string etcDir();
    void etcDir(const std::string& dir);
    std::string runDir();
    void runDir(const std::string& dir);

    // The identity record: "name" (the host name), "product", "version",
    // "build", "platform" and "index", "Unidentified" where a value is
    // unknown. info() merges it into out; setInfo() merges entries into it.
    void info(CStringMap& out) const;
    void setInfo(const CStringMap& entries);

    // Named answers to status queries. A name must begin with "query_" or
    // "config_"; registering a name again replaces its answer.
    void registerQueryResponse(const std::string& name, const std::string& value);
    // A query whose answer is made when it is asked (counters, for
    // example). The provider runs on the thread that answers the query,
    // without the controller's locks; it must not throw. Registering a name
    // again replaces it, as a fixed answer of the same name does.
    using query_provider_t = std::function<std::string()>;
    void registerQueryProvider(const std::string& name, const query_provider_t& provider);
    // Removes the fixed answer or the provider of name.
    void deregisterQueryResponse(const std::string& name);
    // Looks up a query name received as length bytes (not NUL-terminated).
    // False for names shorter than 6 bytes, names without one of the two
    // prefixes and names nobody registered.
    bool getQueryResponse(const char* name, size_t length, std::string& out) const;
    // The fixed answers (providers are left out: their answers change).
    void getQueryResponses(CStringMap& out) const;

    CMessageStore& msgStore() { return _msgStore; }
    const CMessageStore& msgStore() const { return _msgStore; }
    std::string hostname() const;
    int64_t serverIndex() const;
    void serverIndex(int64_t index);

    // The key of "system.shared_key" (hexadecimal pairs joined by "-"; the
    // first 16 bytes, zero-filled when shorter). Without one it logs a
    // warning and returns the built-in key. A malformed value is thrown.
    server_key_t sharedServerKey();

    // Plug-ins. loadPlugins() loads the libraries named by "system.plugins"
    // (a comma list; "name" finds "name", "name.so" or "libname.so" in
    // libDir()), creates each plug-in, checks the interfaces it requires and
    // opens it; a plug-in that fails any step is logged and left out.
    void loadPlugins(const CConfigPtr& configuration);
    // Logs the names of the loaded plug-ins.
    void reportPlugins();
    // Runs the plug-ins in ascending runPriority(); one that fails is shut
    // down (a run can fail half-way, with part of it started), closed and
    // unloaded.
    void runPlugins();
    // shutdownPlugin() in descending runPriority(), then closePlugin() on
    // each.
    void shutdownPlugins();
    // Destroys every plug-in through its library's pluginDestroyer and
    // closes the library.
    void unloadPlugins();
    // The loaded plug-ins that conform to the interface type (one name).
    CPlugin::plugin_list_t findPluginTypes(const std::string& type) const;
    CPlugin::plugin_list_t findAllPlugins() const;

    // Process set-up. setChroot() changes the root to "system.priv.chroot_path"
    // when set; setPrivileges() assumes the group ("system.priv.gid", else
    // the group named by "system.priv.group", else the primary group of the
    // user named by "system.priv.user"), then the user ("system.priv.uid",
    // else "system.priv.user"), each when set. Both throw when the system
    // refuses or a name is unknown.
    void setChroot(const CConfigPtr& configuration);
    void setPrivileges(const CConfigPtr& configuration);
    // Sets the soft limit of open files to limit (raising the hard limit
    // when it must and may); logs the limits now in force.
    void setOpenFileLimit(int limit);
    // Writes this process's id to path (runDir()/appName().pid when empty).
    // An existing file naming a running process is refused; one naming a
    // process that is gone is replaced.
    void createPidFile(const std::string& path = std::string());
    // Removes the file createPidFile() wrote, if any.
    void deletePidFile();
    // Reads the private key file ("rconsole.private_key_file" in
    // "rconsole.private_key_path", default "private_key.bin" in varDir()),
    // creating it when it is missing, and keeps the key. A start calls it
    // while it is still privileged: logins after the privileges are dropped
    // use the kept key and need no access to the file. Throws when the file
    // cannot be made or does not read as a whole key.
    void initPrivateKey();
    // A cipher keyed with the private key, which enciphers the stored console
    // passwords. The kept key serves while the configuration names the file
    // it came from; with none kept yet, or another file named, that file is
    // read as initPrivateKey() reads it.
    CBlowfish passwordCipher();
    // Socket library start and end (nothing to do on this platform beyond
    // ACE's bookkeeping).
    void initSockets();
    void deinitSockets();

    bool keepResident() const;
    void keepResident(bool resident);

    void signalShutdownComplete() { _shutdownComplete.signal(); }
    void waitForShutdown() { _shutdownComplete.wait(); }

private:
    std::string _dir(std::string& stored, const std::string& fallback);
    void _setDir(std::string& stored, const std::string& dir);
    // Loads one library and creates its plug-in; null (after logging) when
    // that fails.
    CPlugin* _loadPlugin(const std::string& name, const std::string& path);
    // Checks the required interfaces of all loaded plug-ins and opens the
    // fresh ones (those just loaded).
    void _openPlugins(const CPlugin::plugin_list_t& fresh);
    // Takes a plug-in out of the list and destroys it.
    void _unloadPlugin(CPlugin* plugin);
    // The plug-ins sorted by runPriority(), load order within one priority.
    CPlugin::plugin_list_t _pluginsByPriority() const;
    // The directory and name of the private key file the configuration
    // names now.
    std::pair<std::string, std::string> _privateKeyLocation();
    // Reads (creating it when missing) the key file at location into
    // _passwordCipher; _lock held.
    void _loadPrivateKey(const std::pair<std::string, std::string>& location);

    mutable CNRMutex _lock;
    // The private key, and the file it was read from (empty names: none
    // read yet); under _lock.
    CBlowfish _passwordCipher;
    std::pair<std::string, std::string> _privateKeyFile;
    CStringMap _info;
    CMREvent _shutdownComplete;
    std::string _binDir;
    std::string _varDir;
    std::string _dbDir;
    std::string _libDir;
    std::string _tmpDir;
    std::string _shareDir;
    std::string _etcDir;
    std::string _runDir;
    server_key_t _sharedServerKey;
    CMessageStore _msgStore;
    CMultiPtr<CExceptionFacade*, CNRMutex> _facades;
    mutable CNRMutex _queryLock;
    CGeneralPtr<CStringMap> _queryResponses;
    std::map<std::string, query_provider_t> _queryProviders;
    CGeneralPtr<CTaskRegistry> _taskRegistry;
    int64_t _serverIndex = 0;
    bool _keepResident = false;
    // Guards which configuration _config points to (the configuration's
    // entries have their own lock, carried by CConfigPtr).
    mutable CNRMutex _configLock;
    CConfigPtr _config;
    // Released before the facades: the log thread records into them.
    CTrackedPtr<CAsyncLog> _log;
    std::atomic<CAsyncLog*> _activeLog{nullptr};
    mutable CNRMutex _pluginLock;
    CPlugin::plugin_list_t _plugins;
    std::string _pidFile;
};

} // namespace osk
