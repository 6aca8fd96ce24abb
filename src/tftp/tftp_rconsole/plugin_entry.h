#pragma once

#include "extended/plugin.h"

// The library's two plug-in entry points, exported with plain C names so the
// host can resolve them by name.
extern "C" {
// Initialises ACE and returns a new remote-console plug-in; the caller owns it.
CPlugin* pluginCreator();
// Destroys the plug-in (when not null), then finalises ACE.
void pluginDestroyer(CPlugin* plugin);
}
