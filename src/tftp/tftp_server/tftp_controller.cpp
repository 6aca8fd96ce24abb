#include "standard/tracked_factory.h"
#include "tftp/tftp_server/tftp_controller.h"

#include <ace/Init_ACE.h>
#include <ace/Reactor.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "ace_ext/general_reactor_types.h"
#include "exp_eval/log_name_evaluator.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "standard/guard.h"
#include "standard/string_util.h"
#include "tftp/tftp_server/tftp_config_validator.h"
#include "tftp/tftp_server/tftp_io.h"
#include "tftp/tftp_server/tftp_server.h"

namespace {
const char* const kModule = "tftp_server";

const char* const kCannotReadConfig = "Cannot read configuration file.";
const char* const kCannotOpenConfig = "Cannot open '%1'.";
const char* const kStarting = "The %1 daemon is starting.";
const char* const kShutDown = "The %1 daemon has shut down.";
const char* const kPluginsMissing = "Cannot load the plugins named in '%1'.";
const char* const kPluginsLoaded = "%1 of the %2 plugins loaded; the log names the failures.";
const char* const kNoFactories = "No plugins support the descriptor manager interface.";
const char* const kCannotLoadManager = "Cannot load a descriptor manager.";
const char* const kDuplicateVfs = "Multiple descriptor managers are registered for virtual filesystem /'%1'.";
const char* const kVirtualRoot = "The virtual root is '%1'.";
const char* const kHost = "Host name is %1, platform is %2.";
const char* const kBanner = "%1 version %2 (build %3) is running.";
const char* const kPing = "query_ping";
const char* const kPong = "pong";
// Answered with the transfer counters, the text the console's "stats" shows.
const char* const kStatsQuery = "query_stats";

// Any object of this library: its address tells the loader which file the
// library was loaded from.
const char kThisLibrary = 0;

// The directory of the shared library this code is part of; empty when the
// loader cannot tell.
std::string thisLibraryDirectory()
{
    Dl_info info{};
    if (::dladdr(&kThisLibrary, &info) == 0 || !info.dli_fname) return std::string();
    const std::string file = info.dli_fname;
    const size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    const std::string directory = slash == 0 ? "/" : file.substr(0, slash);
    char resolved[PATH_MAX];
    return ::realpath(directory.c_str(), resolved) ? std::string(resolved) : directory;
}

} // namespace

CTFTPController::CACEHold::CACEHold() { ACE::init(); }

CTFTPController::CACEHold::~CACEHold() { ACE::fini(); }

CTFTPController::CTFTPController(const std::string& name, const std::string& configPath)
    : _name(name),
      _configPath(configPath),
      _config(osk::CTrackedFactory::create<osk::CConfig>(osk::CLibraryInfo::version(), osk::CLibraryInfo::build(),
                                                         configPath)),
      _reactor(new ACE_Reactor(new osk::CSTReactor, true)),
      _notifier(osk::CTrackedFactory::create<osk::CShutdownNotifier>(_reactor.get())),
      _eval(this),
      _eventPublisher(this),
      _eventPublisherPtr(&_eventPublisher),
      _logLevels(osk::CException::severityMask(_configNames.defaults().get_string(osk::CConfigNames::logLevels())))
{
    osk::CMasterController::config(_config);
    // The build places the plug-ins next to libtftp_rconsole.so, and an
    // installation puts them beside it as well.
    const std::string libraries = thisLibraryDirectory();
    if (!libraries.empty()) libDir(libraries);
}

CTFTPController::~CTFTPController()
{
    // A start that failed, or a daemon that never ran, still stops what was
    // started.
    _releaseParts();
    osk::CLogNameEvaluator::uninstall();
    _notifier.reset();
    // Writes what is still queued; the log thread uses this controller.
    stopLog();
}

void CTFTPController::syslog(uint32_t severity, const osk::CMessage& message, int errCode)
{
    if (logs(severity)) osk::CMasterController::syslog(severity, message, errCode);
}

std::string CTFTPController::type() const { return tftpControllerType; }

int CTFTPController::init()
{
    _init(true);
    return 0;
}

void CTFTPController::initDryRun() { _init(false); }

void CTFTPController::_init(bool serve)
{
    CTFTPConfigNames::addLegacyTranslations(*_config);
    if (serve) initSockets();
    if (!_configPath.empty() && !_config->read(_configPath))
        throw OSK_EXCEPTION(osk::CMessage(kCannotReadConfig, kModule),
                            osk::CMessage(kCannotOpenConfig, kModule).pushs(_configPath), "CTFTPController::init",
                            kModule);
    // A write of the file that a crash cut short leaves its temporary
    // beside it; the next serving start clears it.
    if (serve) removeInterruptedConfigWrites(_config);
    // Updates queued in the storage path join the configuration before
    // anything reads it. A dry run applies them without writing the file or
    // consuming the update file.
    if (serve)
        _config->mergeUpdates(varDir());
    else
        _config->applyUpdates(varDir());
    {
        // A value the service cannot use stops the start here, naming its
        // key, before any part reads it.
        osk::CConfigGuard guard(_config);
        CTFTPConfigValidator(_configNames, _eval).checkAll(*_config);
    }
    _readLogLevels();
    {
        osk::CConfigGuard guard(_config);
        const osk::CConfigValues values(*_config, _configNames);
        if (_config->hasValue(CTFTPConfigNames::pluginsPath())) libDir(values.path(CTFTPConfigNames::pluginsPath()));
    }
    // A bracketed file log-target name is an expression, evaluated by the
    // log task with an evaluator of its own.
    osk::CLogNameEvaluator::install(std::make_shared<const osk::CExpEval>(this));
    // A serving daemon logs through the log task and its configured targets;
    // a dry run writes its few lines directly.
    if (serve) startLog();
    // Message translations and the server index.
    prime();
    if (serve) initPrivateKey();
    _eval.initBlowfish();
    syslog(osk::CException::info, osk::CMessage(kStarting, kModule).pushs(appName()));

    try {
        _loadPlugins(serve);
        registerQueryResponse(kPing, kPong);
        registerQueryProvider(kStatsQuery, [this]() {
            osk::CStringMap counts;
            CTransferStatistics::write(_statistics.snapshot(CTransferStatistics::steadySeconds()), counts);
            return counts.string();
        });
        _openFDManagers();
        for (const auto& manager : _fdManagers) _statistics.declareFileSystem(manager.first);
        _setOpenFileLimit();
        // Without a UDP event publisher plug-in the service runs unchanged.
        _findUDPPublisher();
        _server.reset(osk::CTrackedFactory::create<CTFTPServer>(this, _reactor.get()));
        if (serve)
            _server->init();
        else
            _server->initDecisions();
        _server->tftpio()->verbose(logs(osk::CException::verbose));
        if (serve) setPrivileges(_config);
    } catch (...) {
        _releaseParts();
        throw;
    }
}

void CTFTPController::_readLogLevels()
{
    if (_levelsFixed) return;
    const std::string key = osk::CConfigNames::logLevels();
    const std::string levels = _config->get_string(key, _configNames.defaults().get_string(key));
    _logLevels.store(osk::CException::severityMask(levels));
}

void CTFTPController::refreshLog()
{
    _readLogLevels();
    osk::CMasterController::refreshLog();
}

void CTFTPController::_loadPlugins(bool run)
{
    loadPlugins(_config);
    // A named plug-in that did not load (missing, not a plug-in, refused)
    // stops the start: the daemon would otherwise run without a part the
    // operator asked for.
    const size_t named =
        osk::CStringUtil::split(_config->get_string(osk::CConfigNames::plugins(), std::string())).size();
    const size_t loaded = findAllPlugins().size();
    if (loaded < named)
        throw OSK_EXCEPTION(osk::CMessage(kPluginsMissing, kModule).pushs(osk::CConfigNames::plugins()),
                            osk::CMessage(kPluginsLoaded, kModule).push(loaded).push(named),
                            "CTFTPController::init", kModule);
    // A dry run needs only the descriptor managers, which the factories
    // create whether their plug-ins run or not; running would start the
    // console and the publishers. The service parts (the database) open
    // before the console can reach them, and before a changed root could
    // move the paths they name.
    if (run) {
        for (CITFTPServicePart* part : _serviceParts)
            part->open(*this);
        runPlugins();
        setChroot(_config);
    }
    reportPlugins();
}

void CTFTPController::_openFDManagers()
{
    std::vector<CITFTPFDManagerFactory*> factories;
    bool unusable = false;
    for (CPlugin* plugin : findPluginTypes(CITFTPFDManagerFactory::interfaceName())) {
        CITFTPFDManagerFactory* factory = dynamic_cast<CITFTPFDManagerFactory*>(plugin);
        if (factory)
            factories.push_back(factory);
        else
            unusable = true;  // claims the interface without implementing it
    }
    factories.insert(factories.end(), _factories.begin(), _factories.end());
    if (unusable)
        throw OSK_EXCEPTION(osk::CMessage(kCannotLoadManager, kModule), osk::CMessage(),
                            "CTFTPController::fdManager", kModule);
    if (factories.empty())
        throw OSK_EXCEPTION(osk::CMessage(kNoFactories, kModule), osk::CMessage(), "CTFTPController::fdManager",
                            kModule);
    bool massage = false;
    bool deletePartial = true;
    bool createPaths = false;
    uint16_t perms = 0;
    {
        osk::CConfigGuard guard(_config);
        const osk::CConfigValues values(*_config, _configNames);
        massage = values.flag(CTFTPConfigNames::massageFilenames());
        deletePartial = values.flag(CTFTPConfigNames::deletePartialUploads());
        createPaths = values.flag(CTFTPConfigNames::pathCreation());
        perms = values.uint16(CTFTPConfigNames::uploadPerms());
    }
    for (CITFTPFDManagerFactory* factory : factories) {
        fd_manager_ptr manager;
        try {
            manager = factory->createFDManager(this);
        } catch (const osk::CException& e) {
            exceptionFacade().push(e);
            manager = fd_manager_ptr();
        }
        if (!manager)
            throw OSK_EXCEPTION(osk::CMessage(kCannotLoadManager, kModule), osk::CMessage(),
                                "CTFTPController::fdManager", kModule);
        _managers.push_back(manager);
        manager->initManager();
        manager->setPathCreation(createPaths);
        manager->massageFilenames(massage);
        manager->deletePartialUploads(deletePartial);
        // Uploaded files get exactly the configured permissions.
        ::umask(0);
        manager->setUploadPerms(perms);
        for (const std::string& vfs : manager->virtualFileSystems()) {
            if (_fdManagers.count(vfs))
                syslog(osk::CException::warning, osk::CMessage(kDuplicateVfs, kModule).pushs(vfs));
            _fdManagers[vfs] = manager;
        }
    }
}

void CTFTPController::_closeFDManagers()
{
    _fdManagers.clear();
    for (auto& manager : _managers) {
        try {
            manager->shutdownManager();
        } catch (const osk::CException& e) {
            exceptionFacade().push(e);
        }
    }
    _managers.clear();
}

void CTFTPController::_setOpenFileLimit()
{
    const std::string key = CTFTPConfigNames::maxOpenFiles();
    unsigned long wanted = 0;
    bool configured = false;
    {
        osk::CConfigGuard guard(_config);
        wanted = osk::CConfigValues(*_config, _configNames).ulong(key);
        configured = _config->hasValue(key);
    }
    // A configured limit must be granted; the default asks for no more than
    // the hard limit this process already has.
    rlimit current{};
    if (!configured && ::getrlimit(RLIMIT_NOFILE, &current) == 0 && current.rlim_max != RLIM_INFINITY)
        wanted = std::min<unsigned long>(wanted, static_cast<unsigned long>(current.rlim_max));
    setOpenFileLimit(static_cast<int>(std::min<unsigned long>(wanted, INT_MAX)));
}

void CTFTPController::_releaseParts()
{
    // Consoles and other plug-ins stop first: their threads reach the engine
    // and the manager table. The engine then closes the files of unfinished
    // transfers through their managers, and the managers go before the
    // plug-in libraries that hold their code.
    shutdownPlugins();
    _server.reset();
    // The UDP publisher's code lives in its plug-in.
    udpPublisher(CIUDPPublisherFactory::publisher_ptr());
    _closeFDManagers();
    _closeServiceParts();
    unloadPlugins();
}

void CTFTPController::_closeServiceParts()
{
    // Each part is released once: the controller forgets it here, so a part
    // need only outlive the cleanup (or the failed start), not the
    // controller.
    for (auto part = _serviceParts.rbegin(); part != _serviceParts.rend(); ++part)
        (*part)->close();
    _serviceParts.clear();
}

int CTFTPController::daemon()
{
    _running.store(true);
    int result = 0;
    try {
        syslog(osk::CException::info, osk::CMessage(kVirtualRoot, kModule).pushs(_server->policy().virtualRootText()));
        osk::CStringMap info;
        this->info(info);
        syslog(osk::CException::info,
               osk::CMessage(kHost, kModule).pushs(hostname()).pushs(info.get_string("platform", "")));
        syslog(osk::CException::info, osk::CMessage(kBanner, kModule)
                          .pushs(appName())
                          .pushs(info.get_string("version", ""))
                          .pushs(info.get_string("build", "")));
        if (_handleSignals) _notifier->registerHandlers();
        result = _server->daemon();
    } catch (const osk::CException& e) {
        exceptionFacade().push(e);
        syslog(osk::CException::error, osk::CMessage(e.printableError(), kModule));
        result = -1;
    }
    cleanup();
    signalShutdownComplete();
    return result;
}

void CTFTPController::stop()
{
    _notifier->set(true);
    if (_running.load()) waitForShutdown();
}

void CTFTPController::pause()
{
    if (_server) _server->pause();
}

void CTFTPController::resume()
{
    if (_server) _server->resume();
}

bool CTFTPController::cancelTransfer(unsigned int transferID)
{
    return _server ? _server->cancel(transferID) : false;
}

CIUDPPublisherFactory::publisher_ptr CTFTPController::udpPublisher() const
{
    osk::CGuard<osk::CNRMutex> guard(_udpLock);
    return _udpPublisher;
}

void CTFTPController::provisioner(CITFTPProvisioner* provisioner)
{
    // The database opens before the engine is built and closes after it is
    // gone; a host that opens it later (a dry run) hands it over here while
    // the engine does not run.
    _provisioner = provisioner;
    if (_server) _server->provisioner(provisioner);
}

void CTFTPController::storedPolicies(CITFTPStoredPolicies* policies)
{
    // Handed over like the provisioner, while the engine does not run.
    _storedPolicies = policies;
    if (_server) _server->storedPolicies(policies);
}

CITFTPServicePart* CTFTPController::servicePart(const std::string& name) const
{
    for (CITFTPServicePart* part : _serviceParts)
        if (part->partName() == name) return part;
    return nullptr;
}

void CTFTPController::udpPublisher(const CIUDPPublisherFactory::publisher_ptr& publisher)
{
    CIUDPPublisherFactory::publisher_ptr old;
    {
        osk::CGuard<osk::CNRMutex> guard(_udpLock);
        old = _udpPublisher;
        _udpPublisher = publisher;
    }
    // The old publisher (its thread, its code in the plug-in) goes here,
    // outside the lock, unless a console still holds it.
}

void CTFTPController::_findUDPPublisher()
{
    if (udpPublisher()) return;
    for (CPlugin* plugin : findPluginTypes(CIUDPPublisherFactory::interfaceName())) {
        auto* factory = dynamic_cast<CIUDPPublisherFactory*>(plugin);
        if (!factory) continue;
        udpPublisher(factory->createUDPPublisher(this));
        return;
    }
}

void CTFTPController::cleanup()
{
    if (_notifier->registered()) _notifier->removeHandlers();
    _releaseParts();
    deregisterQueryResponse(kPing);
    deregisterQueryResponse(kStatsQuery);
    syslog(osk::CException::info, osk::CMessage(kShutDown, kModule).pushs(appName()));
    osk::CLogNameEvaluator::uninstall();
    deinitSockets();
}
