// The entry points of the shared library zelvo_firebird_provider, kept out
// of the core library so that tests link the plug-in class without them.
#include "firebird_provider/firebird_provider_plugin.h"

extern "C" {

CPlugin* pluginCreator() { return new fbprov::CFirebirdProviderPlugin; }

void pluginDestroyer(CPlugin* plugin) { delete plugin; }

} // extern "C"
