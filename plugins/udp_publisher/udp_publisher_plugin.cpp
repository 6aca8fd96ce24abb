#include "udp_publisher/udp_publisher_plugin.h"

#include "standard/tracked_factory.h"

extern "C" {

CPlugin* pluginCreator() { return osk::CTrackedFactory::create<udppub::CUDPPublisherPlugin>(); }

void pluginDestroyer(CPlugin* plugin) { osk::CTrackedFactory::destroy(plugin); }

} // extern "C"
