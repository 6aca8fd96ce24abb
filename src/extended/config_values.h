#pragma once

#include <cstdint>
#include <string>

#include "extended/config_names.h"
#include "standard/string_map.h"

namespace osk {

// Typed reads of configuration values in which a key the configuration does
// not set (and, for numbers and durations, one set to an empty value) reads
// as the registry's default. A key without a registered default reads as
// empty, false or 0.
//
// Holds references only: the configuration must stay locked (CConfigGuard)
// and alive while the values are read.
class CConfigValues {
public:
    CConfigValues(const CStringMap& config, const CConfigNames& names) : _config(config), _names(names) {}

    std::string text(const std::string& key) const;
    // The value without trailing "/" and "\".
    std::string path(const std::string& key) const;
    bool flag(const std::string& key) const;
    // A duration ("3s", "100ms", "250us"; a bare number is seconds).
    unsigned long usec(const std::string& key) const;
    long slong(const std::string& key) const;
    unsigned long ulong(const std::string& key) const;
    uint16_t uint16(const std::string& key) const;

private:
    const CStringMap& _defaults() const { return _names.defaults(); }

    const CStringMap& _config;
    const CConfigNames& _names;
};

} // namespace osk
