#pragma once

#include <string>

#include "extended/factory_plugin.h"
#include "oodb/db_provider.h"

namespace fbprov {

// The plug-in object of the shared library zelvo_firebird_provider: the
// database provider of the implementation "Firebird_DB". The object
// database layer finds it among the loaded plug-ins by CDBProvider's
// interface name and lets it register its factory.
class CFirebirdProviderPlugin : public CFactoryPlugin, public CDBProvider {
public:
    std::string pluginName() const override { return "Firebird Database Provider"; }
    std::string pluginInterface() const override;
    void registerFactories(CDBAbstractFactoryFacade& facade) override;
};

} // namespace fbprov

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
