#include "prometheus_exporter/exporter_settings.h"

#include "extended/config_names.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "standard/ip_address.h"

namespace promexp {

namespace {
const char* const kModule = "prometheus_exporter";
const char* const kBadAddress = "The Prometheus exporter cannot listen on '%1'.";
const char* const kNotAnAddress = "The value is not an IP address.";
} // namespace

CExporterSettings CExporterSettings::fromConfig(const osk::CStringMap& config)
{
    const osk::CConfigValues values(config, osk::CConfigNames::framework());
    CExporterSettings out;
    out._address = values.text(osk::CConfigNames::prometheusListenOn());
    out._port = values.uint16(osk::CConfigNames::prometheusPort());
    if (!osk::CIPAddress::isValid(out._address))
        throw OSK_EXCEPTION(osk::CMessage(kBadAddress, kModule).pushs(out._address), osk::CMessage(kNotAnAddress, kModule),
                            "CExporterSettings::fromConfig", kModule);
    return out;
}

std::string CExporterSettings::bindAddress() const
{
    const bool v6 = _address.find(':') != std::string::npos;
    return (v6 ? "[" + _address + "]" : _address) + ":" + std::to_string(_port);
}

} // namespace promexp
