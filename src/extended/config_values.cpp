#include "extended/config_values.h"

namespace osk {

std::string CConfigValues::text(const std::string& key) const
{
    return _config.get_string(key, _defaults().get_string(key, std::string()));
}

std::string CConfigValues::path(const std::string& key) const
{
    return _config.get_path(key, _defaults().get_path(key, std::string()));
}

bool CConfigValues::flag(const std::string& key) const
{
    return _config.get_bool(key, _defaults().get_bool(key, false));
}

unsigned long CConfigValues::usec(const std::string& key) const
{
    return _config.get_usec(key, _defaults().get_usec(key, 0));
}

long CConfigValues::slong(const std::string& key) const
{
    return _config.get_long(key, _defaults().get_long(key, 0L));
}

unsigned long CConfigValues::ulong(const std::string& key) const
{
    return _config.get_ulong(key, _defaults().get_ulong(key, 0UL));
}

uint16_t CConfigValues::uint16(const std::string& key) const
{
    return _config.get_uint16(key, _defaults().get_uint16(key, uint16_t(0)));
}

} // namespace osk
