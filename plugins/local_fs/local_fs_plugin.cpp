#include "local_fs/local_fs_plugin.h"

#include "standard/tracked_factory.h"

extern "C" {

CPlugin* pluginCreator() { return osk::CTrackedFactory::create<localfs::CLocalFSPlugin>(); }

void pluginDestroyer(CPlugin* plugin) { osk::CTrackedFactory::destroy(plugin); }

} // extern "C"
