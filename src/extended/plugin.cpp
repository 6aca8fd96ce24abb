#include "extended/plugin.h"

#include "standard/string_util.h"

bool CPlugin::conformsToInterface(const std::string& name) const
{
    // Only spaces are stripped, and empty pieces count: an interface string
    // with an empty piece conforms to the empty name.
    for (const std::string& piece :
         osk::CStringUtil::split(pluginInterface(), ",", osk::CStringUtil::spaces, osk::CStringUtil::keepEmpty)) {
        if (piece == name) return true;
    }
    return false;
}
