#pragma once

#include <string>

#include "extended/factory_plugin.h"
#include "udp_publisher/udp_publisher_factory.h"

namespace udppub {

// The plug-in object of the shared library zelvo_udp_publisher: it offers
// the service the UDP event publisher under "CIUDPPublisherFactory". The
// controller creates the publisher while it starts and releases it before
// the plug-in is unloaded.
class CUDPPublisherPlugin : public CFactoryPlugin, public CUDPPublisherFactory {
public:
    std::string pluginName() const override { return "UDP Event Publisher"; }
    std::string pluginInterface() const override { return CIUDPPublisherFactory::interfaceName(); }
};

} // namespace udppub

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
