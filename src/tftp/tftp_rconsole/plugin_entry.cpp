#include "tftp/tftp_rconsole/plugin_entry.h"

#include <ace/Init_ACE.h>

#include "rconsole_base/rconsole.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_rconsole/tftp_rconsole_handler.h"

extern "C" {

__attribute__((visibility("default"))) CPlugin* pluginCreator()
{
    ACE::init();
    return osk::CTrackedFactory::create<CRConsole<CTFTPRConsoleHandler>>();
}

__attribute__((visibility("default"))) void pluginDestroyer(CPlugin* plugin)
{
    osk::CTrackedFactory::destroy(plugin);
    ACE::fini();
}
}
