#include "extended/plugin.h"

bool CPlugin::conformsToInterface(const std::string& name) const
{
    const std::string interfaces = pluginInterface();
    size_t start = 0;
    while (start <= interfaces.size()) {
        size_t comma = interfaces.find(',', start);
        if (comma == std::string::npos) comma = interfaces.size();
        std::string piece = interfaces.substr(start, comma - start);
        const size_t first = piece.find_first_not_of(' ');
        const size_t last = piece.find_last_not_of(' ');
        piece = first == std::string::npos ? std::string() : piece.substr(first, last - first + 1);
        if (piece == name) return true;
        start = comma + 1;
    }
    return false;
}
