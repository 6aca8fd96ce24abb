#include "extended/library_info.h"

#include <sys/utsname.h>

namespace osk {

std::string CLibraryInfo::name() { return "TFTP Zelvo"; }

std::string CLibraryInfo::version() { return ZELVO_VERSION; }

std::string CLibraryInfo::build() { return std::string(__DATE__) + " " + __TIME__; }

std::string CLibraryInfo::platform()
{
    struct utsname system {};
    if (uname(&system) != 0) return "Unidentified";
    return std::string(system.sysname) + " " + system.machine;
}

} // namespace osk
