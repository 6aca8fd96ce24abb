#pragma once

#include <cstdint>
#include <string>

namespace osk {

// The data type of a variant. The numeric values index the conversion table
// and are stable.
class CVariantType {
public:
    enum data_type : uint8_t {
        t_unknown = 0,
        t_ipaddress = 1,
        t_boolean = 2,
        t_time = 3,
        t_string = 4,
        t_hexstore = 5,
        t_integer = 6,
        t_endpoint = 7,
        t_uinteger = 8,
    };
    static constexpr unsigned count = 9;

    CVariantType(data_type type = t_unknown) : _type(type) {}

    data_type type() const { return _type; }
    void type(data_type value) { _type = value; }
    operator data_type() const { return _type; }

    // The name used in messages ("ip address", "uinteger", ...).
    std::string string() const { return name(_type); }
    static const char* name(data_type type);

private:
    data_type _type;
};

} // namespace osk
