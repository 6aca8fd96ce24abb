#pragma once

#include "extended/plugin.h"

// A plug-in that only offers a factory interface: the controller asks the
// factory for its objects after loading, so there is nothing to authorise,
// open, run, pause or close. Subclasses name themselves and their interface.
class CFactoryPlugin : public CPlugin {
public:
    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    void pausePlugin() override {}
    void resumePlugin() override {}
    int pluginMode() const override { return 0; }
};
