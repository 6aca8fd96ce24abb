#pragma once

#include <string>

namespace osk {

// Identity of this library build, reported by the controller's info map.
class CLibraryInfo {
public:
    static std::string name();
    static std::string version();
    static std::string build();
    static std::string platform();
};

} // namespace osk
