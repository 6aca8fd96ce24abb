#include "standard/variant_sub_type.h"

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CVariantSubType.
const char* const kNoSubtype = "Cannot determine variant subtype from ip address type.";
const char* const kUnknownAddressType = "Unknown ip address type.";
const char* const kNoAddressType = "Cannot determine ip address type from variant subtype.";
const char* const kNotAddressSubtype = "Variant subtype does not map to an ip address type.";

const char* const kNames[CVariantSubType::count] = {"general", "function name", "reserved word", "ipv4",
                                                    "ipv6"};
} // namespace

const char* CVariantSubType::name(data_subtype subtype)
{
    return subtype < count ? kNames[subtype] : "general";
}

CVariantSubType::data_subtype CVariantSubType::type(uint8_t addressType)
{
    if (addressType == CIPAddress::ipv4) return st_ipv4;
    if (addressType == CIPAddress::ipv6) return st_ipv6;
    throw OSK_EXCEPTION(CMessage(kNoSubtype), CMessage(kUnknownAddressType), "CVariantSubType::type", kModule);
}

CIPAddress::addr_type_t CVariantSubType::addressType(data_subtype subtype)
{
    if (subtype == st_ipv4) return CIPAddress::ipv4;
    if (subtype == st_ipv6) return CIPAddress::ipv6;
    throw OSK_EXCEPTION(CMessage(kNoAddressType), CMessage(kNotAddressSubtype), "CVariantSubType::addressType",
                        kModule);
}

} // namespace osk
