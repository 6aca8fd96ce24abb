#include "db_facade/db_facade_plugin.h"

#include "standard/tracked_factory.h"

extern "C" {

CPlugin* pluginCreator() { return osk::CTrackedFactory::create<dbfacade::CDBFacadePlugin>(); }

void pluginDestroyer(CPlugin* plugin) { osk::CTrackedFactory::destroy(plugin); }

} // extern "C"
