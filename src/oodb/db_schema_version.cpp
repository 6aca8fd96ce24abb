#include "oodb/db_schema_version.h"

#include "extended/config_names.h"
#include "extended/exception.h"
#include "oodb/db_messages.h"

uint32_t CDBSchemaVersion::required(const osk::CStringMap& config, std::optional<uint32_t> applicationDefault,
                                    const warn_t& warn)
{
    const std::string key = osk::CConfigNames::dbSchemaVersion();
    if (config.hasValue(key)) {
        const uint32_t configured = config.get_uint32(key);
        if (warn) warn(osk::CMessage(CDBMessages::staticSchemaVersion, CDBMessages::moduleOodb));
        return configured;
    }
    if (applicationDefault) return *applicationDefault;
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::noDefaultSchemaNumber),
                        osk::CMessage(CDBMessages::productHasNoDatabase), "CDBSchemaVersion::required",
                        CDBMessages::moduleOodb);
}
