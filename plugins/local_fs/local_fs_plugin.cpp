#include "local_fs/local_fs_plugin.h"

extern "C" {

CPlugin* pluginCreator() { return new localfs::CLocalFSPlugin; }

void pluginDestroyer(CPlugin* plugin) { delete plugin; }

} // extern "C"
