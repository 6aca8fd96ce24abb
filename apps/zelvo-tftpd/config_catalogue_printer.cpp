#include "config_catalogue_printer.h"

#include <string>

namespace {
// Tabs and line feeds would break the line format; descriptions have none
// today, and a future one still prints as one line.
std::string oneField(const std::string& text)
{
    std::string field = text;
    for (char& c : field)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return field;
}
} // namespace

void CConfigCataloguePrinter::print(std::ostream& out) const
{
    for (const auto& key : _names) {
        const osk::CConfigKey* entry = _names.entry(key.first);
        if (!entry) continue;
        out << oneField(key.first) << '\t' << (entry->applies == osk::CConfigKey::atOnce ? "live" : "restart") << '\t'
            << (entry->defaultValue ? "\"" + oneField(entry->defaultValue) + "\"" : std::string("-")) << '\t'
            << oneField(key.second) << '\n';
    }
}
