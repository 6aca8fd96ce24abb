#pragma once

#include <string>

#include "extended/plugin.h"
#include "rconsole_base/rconsole_acceptor.h"
#include "standard/tracked_factory.h"

// The remote-console plug-in: a thin shell that creates, runs and destroys
// the console acceptor. Handler is the per-connection handler class that the
// acceptor creates for every console; the shell only passes it on.
template <class Handler>
class CRConsole : public CPlugin {
public:
    using acceptor_t = CRConsoleAcceptor<Handler>;

    CRConsole() = default;
    // The host calls shutdownPlugin() first; the acceptor is not touched here.
    ~CRConsole() override = default;

    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    unsigned char runPriority() override { return 200; }

    // Creates and starts the acceptor. 0 when it listens, otherwise its
    // start-up code (2 when no endpoint could be opened); a failed acceptor
    // stays until shutdownPlugin().
    int runPlugin() override
    {
        _acceptor = osk::CTrackedFactory::create<acceptor_t>(controller());
        return _acceptor->run();
    }

    // Stops and destroys the acceptor; a second call does nothing.
    void shutdownPlugin() override
    {
        if (!_acceptor) return;
        _acceptor->shutdown();
        osk::CTrackedFactory::destroy(_acceptor);
        _acceptor = nullptr;
    }

    // The console keeps serving while the service is paused.
    void pausePlugin() override {}
    void resumePlugin() override {}
    std::string pluginName() const override { return "Remote Console"; }
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return "CRConsole"; }
    std::string requiredInterfaces() const override { return _requiredInterfaceList; }

    acceptor_t* acceptor() const { return _acceptor; }

private:
    acceptor_t* _acceptor = nullptr;
    std::string _requiredInterfaceList;
};
