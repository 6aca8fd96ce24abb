#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "extended/message.h"
#include "standard/string_map.h"

// Chooses the schema version a database must have: the configured
// "system.db.schema.version" overrides the application's default (with a
// warning, as a deployment then runs a schema its code was not built for);
// without either there is no database to speak of.
class CDBSchemaVersion {
public:
    using warn_t = std::function<void(const osk::CMessage&)>;

    // Throws "Cannot provide a default database schema number." (why "This
    // product does not have a database.") when neither is given; a
    // configured value that is not an unsigned 32-bit number throws the
    // number conversion's error.
    static uint32_t required(const osk::CStringMap& config, std::optional<uint32_t> applicationDefault,
                             const warn_t& warn = warn_t());
};
