#pragma once

#include <string>

#include "db_facade/db_facade_factory.h"
#include "extended/factory_plugin.h"

namespace dbfacade {

// The plug-in object of the shared library zelvo_db_facade: it offers the
// service's consoles their database sessions under "CIDBFacadeFactory".
class CDBFacadePlugin : public CFactoryPlugin, public CDBFacadeFactory {
public:
    std::string pluginName() const override { return "Database Facade"; }
    std::string pluginInterface() const override { return CIDBFacadeFactory::interfaceName(); }
};

} // namespace dbfacade

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
