#include "firebird_provider/firebird_provider_plugin.h"

extern "C" {

CPlugin* pluginCreator() { return new fbprov::CFirebirdProviderPlugin; }

void pluginDestroyer(CPlugin* plugin) { delete plugin; }

} // extern "C"
