#pragma once

#include <string>

#include "extended/plugin.h"
#include "udp_publisher/udp_publisher_factory.h"

namespace udppub {

// The plug-in object of the shared library zelvo_udp_publisher: it offers
// the service the UDP event publisher under "CIUDPPublisherFactory". The
// controller creates the publisher while it starts and releases it before
// the plug-in is unloaded, so opening and running have nothing to do.
class CUDPPublisherPlugin : public CPlugin, public CUDPPublisherFactory {
public:
    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    void pausePlugin() override {}
    void resumePlugin() override {}
    std::string pluginName() const override { return "UDP Event Publisher"; }
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return CIUDPPublisherFactory::interfaceName(); }
};

} // namespace udppub

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
