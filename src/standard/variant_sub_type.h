#pragma once

#include <cstdint>
#include <string>

#include "standard/ip_address.h"

namespace osk {

// The subtype of a variant: the family of an ip address, or whether a text
// names a function ("$name") or a reserved word; everything else is general.
class CVariantSubType {
public:
    enum data_subtype : uint8_t {
        st_general = 0,
        st_function_name = 1,
        st_reserved_word = 2,
        st_ipv4 = 3,
        st_ipv6 = 4,
    };
    static constexpr unsigned count = 5;

    CVariantSubType(data_subtype subtype = st_general) : _subtype(subtype) {}

    data_subtype subtype() const { return _subtype; }
    void subtype(data_subtype value) { _subtype = value; }
    operator data_subtype() const { return _subtype; }

    std::string string() const { return name(_subtype); }
    static const char* name(data_subtype subtype);

    // The subtype of an address type (CIPAddress::ipv4 -> st_ipv4, ipv6 ->
    // st_ipv6); throws osk::CException for any other address type.
    static data_subtype type(uint8_t addressType);
    // The address type of st_ipv4 or st_ipv6; throws osk::CException for any
    // other subtype.
    static CIPAddress::addr_type_t addressType(data_subtype subtype);
    // True for st_ipv4 and st_ipv6.
    static bool isAddressFamily(data_subtype subtype) { return subtype == st_ipv4 || subtype == st_ipv6; }

private:
    data_subtype _subtype;
};

} // namespace osk
