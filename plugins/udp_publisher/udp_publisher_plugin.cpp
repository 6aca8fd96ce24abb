#include "udp_publisher/udp_publisher_plugin.h"

extern "C" {

CPlugin* pluginCreator() { return new udppub::CUDPPublisherPlugin; }

void pluginDestroyer(CPlugin* plugin) { delete plugin; }

} // extern "C"
