#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extended/config.h"
#include "extended/shutdown_notifier.h"
#include "standard/nr_mutex.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"
#include "tftp/tftp_server/tftp_config_names.h"

class ACE_Reactor;
class CTFTPServer;

// The master controller of the TFTP daemon: reads the configuration, builds
// the table of descriptor managers, owns the engine and its reactor and runs
// the engine on the thread that calls daemon().
//
// Lifecycle: construct -> init() -> daemon() on the daemon thread -> stop()
// from another thread (or a termination signal) -> the engine loop returns ->
// cleanup() -> shutdown signalled.
class CTFTPController : public CITFTPController {
public:
    // name is the daemon's display name; configPath the configuration file
    // init() reads (empty: use the entries already set through config()).
    explicit CTFTPController(const std::string& name, const std::string& configPath = std::string());
    ~CTFTPController() override;

    // Descriptor-manager factories offered to the controller (not owned).
    // Each creates one manager in init().
    void addFDManagerFactory(CITFTPFDManagerFactory* factory) { _factories.push_back(factory); }

    // The start sequence: configuration, query responses, descriptor
    // managers, open-file limit, engine. Throws on any failure.
    // Without bindSockets the engine only prepares its decisions (for a dry
    // run of admission): nothing listens and daemon() must not be called.
    void init(bool bindSockets = true);
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

    std::string type() const override { return "CTFTPController"; }
    osk::CShutdownNotifier& shutdownNotifier() const override { return *_notifier; }
    std::string appName() const override { return _name; }
    CTFTPConfigNames& tftpConfigNames() override { return _configNames; }
    const fd_manager_table& fdManagers() const override { return _fdManagers; }
    bool cancelTransfer(unsigned int transferID) override;
    CIUDPPublisherFactory::publisher_ptr udpPublisher() const override;
    // Installs a publisher (tests, or a host that creates it itself); an
    // empty pointer removes it.
    void udpPublisher(const CIUDPPublisherFactory::publisher_ptr& publisher);
    CTFTPEventPublisherPtr eventPublisher() const override { return _eventPublisherPtr; }
    // The service's configuration; every call through it holds its lock.
    osk::CConfigPtr config() const override { return _config; }
    CTFTPServer* server() const { return _server.get(); }
    ACE_Reactor* reactor() const { return _reactor.get(); }

    // Writes the entry when its severity is among the configured log levels
    // (system.log.levels; default "info,warning,error,audit").
    void syslog(uint32_t severity, const osk::CMessage& message, int errCode = 0) override;
    uint32_t logLevels() const { return _logLevels.load(); }
    // Setting the levels here overrides system.log.levels.
    void logLevels(uint32_t mask)
    {
        _logLevels.store(mask);
        _levelsFixed = true;
    }
    bool logs(uint32_t severity) const { return (severity & _logLevels.load()) != 0; }

private:
    void _openFDManagers();
    void _closeFDManagers();
    void _setOpenFileLimit(unsigned long limit);
    // The publisher of the first plug-in offering "CIUDPPublisherFactory".
    void _findUDPPublisher();

    std::string _name;
    std::string _configPath;
    osk::CConfigPtr _config;
    CTFTPConfigNames _configNames;
    std::unique_ptr<ACE_Reactor> _reactor;
    std::unique_ptr<osk::CShutdownNotifier> _notifier;
    std::unique_ptr<CTFTPServer> _server;
    std::vector<CITFTPFDManagerFactory*> _factories;
    fd_manager_table _fdManagers;
    CTFTPEventPublisher _eventPublisher;
    CTFTPEventPublisherPtr _eventPublisherPtr;
    mutable osk::CNRMutex _udpLock;
    CIUDPPublisherFactory::publisher_ptr _udpPublisher;
    std::atomic<uint32_t> _logLevels;
    std::atomic<bool> _running{false};
    bool _handleSignals = true;
    bool _levelsFixed = false;
};
