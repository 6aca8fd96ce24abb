#include "standard/variant_type.h"

namespace osk {

namespace {
const char* const kNames[CVariantType::count] = {
    "unknown", "ip address", "boolean", "time", "string", "byte sequence", "integer", "ip endpoint", "uinteger",
};
} // namespace

const char* CVariantType::name(data_type type)
{
    return type < count ? kNames[type] : "unknown";
}

} // namespace osk
