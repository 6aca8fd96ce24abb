#pragma once

#include <string>

#include "extended/factory_plugin.h"

namespace fbprov {

// The plug-in object of the shared library zelvo_firebird_provider: the
// database provider of the implementation "Firebird_DB". Its factories are
// offered to the object database layer by a later step; for now the plug-in
// carries the connection, statement and schema core.
class CFirebirdProviderPlugin : public CFactoryPlugin {
public:
    std::string pluginName() const override { return "Firebird Database Provider"; }
    std::string pluginInterface() const override { return "Firebird_DB"; }
};

} // namespace fbprov

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
