#pragma once

#include <string>

#include "extended/factory_plugin.h"
#include "local_fs/local_fd_manager_factory.h"

namespace localfs {

// The plug-in object of the shared library zelvo_local_fs: it offers the
// service the local file system's descriptor manager factory under the
// interface "CITFTPFDManagerFactory". The controller creates the managers
// itself, after loading.
class CLocalFSPlugin : public CFactoryPlugin, public CLocalFDManagerFactory {
public:
    std::string pluginName() const override { return "Local File System"; }
    std::string pluginInterface() const override { return CITFTPFDManagerFactory::interfaceName(); }
};

} // namespace localfs

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
