#include "tftp/tftp_server/tftp_controller.h"

#include <ace/Reactor.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "ace_ext/general_reactor_types.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "standard/guard.h"
#include "tftp/tftp_server/tftp_io.h"
#include "tftp/tftp_server/tftp_server.h"

namespace {
const char* const kModule = "tftp_server";
const uint32_t kInfo = 1;
const uint32_t kWarning = 2;
const uint32_t kVerbose = 32;
const char* const kDefaultLevels = "info,warning,error,audit";

const char* const kCannotReadConfig = "Cannot read configuration file.";
const char* const kCannotOpenConfig = "Cannot open '%1'.";
const char* const kStarting = "The %1 daemon is starting.";
const char* const kShutDown = "The %1 daemon has shut down.";
const char* const kNoFactories = "No plugins support the descriptor manager interface.";
const char* const kCannotLoadManager = "Cannot load a descriptor manager.";
const char* const kDuplicateVfs = "Multiple descriptor managers are registered for virtual filesystem /'%1'.";
const char* const kVirtualRoot = "The virtual root is '%1'.";
const char* const kHost = "Host name is %1, platform is %2.";
const char* const kBanner = "%1 version %2 (build %3) is running.";
const char* const kPing = "query_ping";
const char* const kPong = "pong";
} // namespace

CTFTPController::CTFTPController(const std::string& name, const std::string& configPath)
    : _name(name),
      _configPath(configPath),
      _config(new osk::CConfig(osk::CLibraryInfo::version(), osk::CLibraryInfo::build(), configPath)),
      _reactor(new ACE_Reactor(new osk::CSTReactor, true)),
      _notifier(new osk::CShutdownNotifier(_reactor.get())),
      _eventPublisher(this),
      _eventPublisherPtr(&_eventPublisher),
      _logLevels(osk::CException::severityMask(kDefaultLevels))
{
    osk::CMasterController::config(_config);
}

CTFTPController::~CTFTPController()
{
    _server.reset();
    udpPublisher(CIUDPPublisherFactory::publisher_ptr());
    _closeFDManagers();
    _notifier.reset();
    // Writes what is still queued; the log thread uses this controller.
    stopLog();
}

void CTFTPController::syslog(uint32_t severity, const osk::CMessage& message, int errCode)
{
    if (logs(severity)) osk::CMasterController::syslog(severity, message, errCode);
}

void CTFTPController::init(bool bindSockets)
{
    CTFTPConfigNames::addLegacyTranslations(*_config);
    if (!_configPath.empty() && !_config->read(_configPath))
        throw OSK_EXCEPTION(osk::CMessage(kCannotReadConfig, kModule),
                            osk::CMessage(kCannotOpenConfig, kModule).pushs(_configPath), "CTFTPController::init",
                            kModule);
    const std::string levels = _config->get_string(osk::CConfigNames::logLevels(), kDefaultLevels);
    if (!_levelsFixed) _logLevels.store(osk::CException::severityMask(levels));
    // A serving daemon logs through the log task and its configured targets;
    // a dry run writes its few lines directly.
    if (bindSockets) startLog();

    syslog(kInfo, osk::CMessage(kStarting, kModule).pushs(appName()));
    registerQueryResponse(kPing, kPong);
    _openFDManagers();
    _setOpenFileLimit(_config->get_ulong(CTFTPConfigNames::maxOpenFiles(), 20000));
    _findUDPPublisher();

    _server.reset(new CTFTPServer(this, _reactor.get()));
    if (bindSockets)
        _server->init();
    else
        _server->initDecisions();
    _server->tftpio()->verbose(logs(kVerbose));
}

void CTFTPController::_openFDManagers()
{
    if (_factories.empty())
        throw OSK_EXCEPTION(osk::CMessage(kNoFactories, kModule), osk::CMessage(), "CTFTPController::fdManager",
                            kModule);
    const bool massage = _config->get_bool(CTFTPConfigNames::massageFilenames(), true);
    const bool createPaths = _config->get_bool(CTFTPConfigNames::pathCreation(), false);
    const uint16_t perms = _config->get_uint16(CTFTPConfigNames::uploadPerms(), 0660);
    for (CITFTPFDManagerFactory* factory : _factories) {
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
        manager->initManager();
        manager->setPathCreation(createPaths);
        manager->massageFilenames(massage);
        // Uploaded files get exactly the configured permissions.
        ::umask(0);
        manager->setUploadPerms(perms);
        for (const std::string& vfs : manager->virtualFileSystems()) {
            if (_fdManagers.count(vfs)) syslog(kWarning, osk::CMessage(kDuplicateVfs, kModule).pushs(vfs));
            _fdManagers[vfs] = manager;
        }
    }
}

void CTFTPController::_closeFDManagers()
{
    for (auto& entry : _fdManagers) {
        try {
            entry.second->shutdownManager();
        } catch (const osk::CException& e) {
            exceptionFacade().push(e);
        }
    }
    _fdManagers.clear();
}

void CTFTPController::_setOpenFileLimit(unsigned long limit)
{
    rlimit current{};
    if (::getrlimit(RLIMIT_NOFILE, &current) != 0) return;
    rlimit wanted = current;
    wanted.rlim_cur = static_cast<rlim_t>(limit);
    if (wanted.rlim_cur > current.rlim_max) wanted.rlim_cur = current.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &wanted);
}

int CTFTPController::daemon()
{
    _running.store(true);
    int result = 0;
    try {
        syslog(kInfo, osk::CMessage(kVirtualRoot, kModule).pushs(_server->policy().virtualRootText()));
        osk::CStringMap info;
        this->info(info);
        syslog(kInfo, osk::CMessage(kHost, kModule).pushs(hostname()).pushs(info.get_string("platform", "")));
        syslog(kInfo, osk::CMessage(kBanner, kModule)
                          .pushs(appName())
                          .pushs(info.get_string("version", ""))
                          .pushs(info.get_string("build", "")));
        if (_handleSignals) _notifier->registerHandlers();
        result = _server->daemon();
    } catch (const osk::CException& e) {
        exceptionFacade().push(e);
        syslog(4, osk::CMessage(e.printableError(), kModule));
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
    // The engine closes the files of running transfers through their
    // managers, so it goes first. The UDP publisher's code lives in its
    // plug-in: it is released before the plug-ins are unloaded.
    _server.reset();
    udpPublisher(CIUDPPublisherFactory::publisher_ptr());
    _closeFDManagers();
    deregisterQueryResponse(kPing);
    syslog(kInfo, osk::CMessage(kShutDown, kModule).pushs(appName()));
}
