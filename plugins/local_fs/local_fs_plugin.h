#pragma once

#include <string>

#include "extended/plugin.h"
#include "local_fs/local_fd_manager_factory.h"

namespace localfs {

// The plug-in object of the shared library zelvo_local_fs: it offers the
// service the local file system's descriptor manager factory under the
// interface "CITFTPFDManagerFactory". The controller creates the managers
// itself, after loading, so opening and running have nothing to do.
class CLocalFSPlugin : public CPlugin, public CLocalFDManagerFactory {
public:
    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    void pausePlugin() override {}
    void resumePlugin() override {}
    std::string pluginName() const override { return "Local File System"; }
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return CITFTPFDManagerFactory::interfaceName(); }
};

} // namespace localfs

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
