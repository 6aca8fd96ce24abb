#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extended/config.h"
#include "extended/shutdown_notifier.h"
#include "standard/nr_mutex.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"
#include "tftp/tftp_interfaces/i_tftp_service_part.h"
#include "tftp/tftp_server/tftp_config_names.h"

class ACE_Reactor;
class CTFTPServer;

// The master controller of the TFTP daemon: reads the configuration, hosts
// the plug-ins (descriptor-manager factories, the remote console), builds
// the table of descriptor managers, owns the engine and its reactor and runs
// the engine on the thread that calls daemon().
//
// Lifecycle: construct -> init() -> daemon() on the daemon thread -> stop()
// from another thread (or a termination signal) -> the engine loop returns ->
// cleanup() -> shutdown signalled.
//
// Plug-ins are loaded from libDir(): the directory named by the key
// "system.plugins.path", else the directory of the library this controller
// is built into (libtftp_rconsole.so), where the build places the plug-ins.
class CTFTPController : public CITFTPController {
public:
    // name is the daemon's display name; configPath the configuration file
    // init() reads (empty: use the entries already set through config()).
    explicit CTFTPController(const std::string& name, const std::string& configPath = std::string());
    ~CTFTPController() override;

    // A descriptor-manager factory offered directly rather than by a
    // plug-in (not owned; tests use it). init() asks these after the
    // plug-ins' factories, so their managers win a contested name.
    void addFDManagerFactory(CITFTPFDManagerFactory* factory) { _factories.push_back(factory); }
    // A part opened by init() once the plug-ins are loaded and closed
    // before they are unloaded (not owned; it must outlive cleanup() or the
    // failed init(), after which the controller forgets it). Parts open in
    // the order added and close in reverse.
    void addServicePart(CITFTPServicePart* part) { _serviceParts.push_back(part); }

    // The start sequence: sockets, configuration (the file, then the updates
    // queued in varDir()/merge.conf), log, message translations and server
    // index, private key, plug-ins (loaded, the service parts opened, then
    // run), query responses, descriptor managers,
    // open-file limit, engine, privileges. Returns 0.
    // Throws on any failure, after stopping what it had started.
    int init() override;
    // Prepares a dry run of admission instead: the plug-ins are loaded and
    // opened but none runs (no console listens), no socket is bound, no key
    // file is written, root and privileges stay as they are; daemon() must
    // not be called. Throws as init().
    void initDryRun();
    // The daemon thread's body: runs the engine until stop(), then cleanup().
    int daemon() override;
    // Stops the engine and waits until daemon() has cleaned up. Safe to call
    // when daemon() never ran.
    void stop() override;
    void pause() override;
    void resume() override;
    void cleanup();
    // Termination signals stop the daemon (default true; tests turn it off).
    void handleSignals(bool on) { _handleSignals = on; }

    // tftpControllerType: the console serves only a controller of this type.
    std::string type() const override;
    osk::CShutdownNotifier& shutdownNotifier() const override { return *_notifier; }
    std::string appName() const override { return _name; }
    CTFTPConfigNames& tftpConfigNames() override { return _configNames; }
    const fd_manager_table& fdManagers() const override { return _fdManagers; }
    bool cancelTransfer(unsigned int transferID) override;
    CTransferStatistics& transferStatistics() override { return _statistics; }
    CIUDPPublisherFactory::publisher_ptr udpPublisher() const override;
    // Installs a publisher (tests, or a host that creates it itself); an
    // empty pointer removes it.
    void udpPublisher(const CIUDPPublisherFactory::publisher_ptr& publisher);
    CTFTPEventPublisherPtr eventPublisher() const override { return _eventPublisherPtr; }
    // Installed on the engine at once when it runs, else when it is built.
    void provisioner(CITFTPProvisioner* provisioner) override;
    CITFTPProvisioner* provisioner() const override { return _provisioner; }
    CITFTPServicePart* servicePart(const std::string& name) const override;
    void storedPolicies(CITFTPStoredPolicies* policies) override;
    CITFTPStoredPolicies* storedPolicies() const override { return _storedPolicies; }
    // The service's configuration; every call through it holds its lock.
    osk::CConfigPtr config() const override { return _config; }
    CTFTPServer* server() const { return _server.get(); }
    // The controller's own evaluator (keyed with the shared server key).
    // Bracketed log file names have an evaluator of their own.
    const CTFTPEval& eval() const { return _eval; }
    ACE_Reactor* reactor() const { return _reactor.get(); }

    // Writes the entry when its severity is among the configured log levels
    // (system.log.levels).
    void syslog(uint32_t severity, const osk::CMessage& message, int errCode = 0) override;
    // Takes the log levels again from the configuration (unless fixed by
    // logLevels(mask)), then reconfigures the log targets.
    void refreshLog() override;
    uint32_t logLevels() const { return _logLevels.load(); }
    // Setting the levels here overrides system.log.levels.
    void logLevels(uint32_t mask)
    {
        _logLevels.store(mask);
        _levelsFixed = true;
    }
    bool logs(uint32_t severity) const { return (severity & _logLevels.load()) != 0; }

private:
    // The start sequence of init() (serve) and initDryRun() (not serve).
    void _init(bool serve);
    void _readLogLevels();
    void _loadPlugins(bool run);
    void _closeServiceParts();
    void _openFDManagers();
    void _closeFDManagers();
    void _setOpenFileLimit();
    // Stops the plug-ins, the engine, the UDP publisher and the managers and
    // unloads the plug-ins; does nothing for parts already gone.
    void _releaseParts();
    // The publisher of the first plug-in offering "CIUDPPublisherFactory".
    void _findUDPPublisher();

    // Holds the ACE library open for the controller's whole life. The
    // plug-ins initialise and finalise ACE themselves; without the host's
    // own hold, the last plug-in's ACE::fini would finalise ACE under the
    // host (closing, among others, every library ACE loaded). First member:
    // released after everything else.
    struct CACEHold {
        CACEHold();
        ~CACEHold();
        CACEHold(const CACEHold&) = delete;
        CACEHold& operator=(const CACEHold&) = delete;
    } _aceHold;
    std::string _name;
    std::string _configPath;
    osk::CConfigPtr _config;
    CTFTPConfigNames _configNames;
    std::unique_ptr<ACE_Reactor> _reactor;
    osk::CTrackedPtr<osk::CShutdownNotifier> _notifier;
    CTFTPEval _eval;
    osk::CTrackedPtr<CTFTPServer> _server;
    std::vector<CITFTPFDManagerFactory*> _factories;
    std::vector<CITFTPServicePart*> _serviceParts;
    fd_manager_table _fdManagers;
    // Every manager created, each shut down once (a manager may serve
    // several names, or none after a later one took its name).
    std::vector<fd_manager_ptr> _managers;
    CTransferStatistics _statistics;
    CTFTPEventPublisher _eventPublisher;
    CTFTPEventPublisherPtr _eventPublisherPtr;
    mutable osk::CNRMutex _udpLock;
    CIUDPPublisherFactory::publisher_ptr _udpPublisher;
    CITFTPProvisioner* _provisioner = nullptr;
    CITFTPStoredPolicies* _storedPolicies = nullptr;
    std::atomic<uint32_t> _logLevels;
    std::atomic<bool> _running{false};
    bool _handleSignals = true;
    bool _levelsFixed = false;
};
