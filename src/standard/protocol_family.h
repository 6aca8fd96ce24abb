#pragma once

#include <cstdint>
#include <string>

namespace osk {

// Names an address family: IPv4 (AF_INET), IPv6 (AF_INET6) or unspecified
// (AF_UNSPEC), with its address type (4, 6, 255) and a short text form
// ("ipv4", "ipv6", "unspec") used in configuration and logs.
class CProtocolFamily {
public:
    CProtocolFamily() = default;
    // From a system family constant; anything else is unspecified.
    explicit CProtocolFamily(int family);

    static CProtocolFamily fromAddrType(uint8_t type);
    // Accepts "ipv4"/"inet"/"4", "ipv6"/"inet6"/"6", "unspec"/"any"/""
    // (any case); throws "Cannot parse protocol family." otherwise.
    static CProtocolFamily fromString(const std::string& text);

    int family() const { return _family; }
    void family(int value);
    // 4, 6, or 255 when unspecified.
    uint8_t addr_type() const;
    bool isIPv4() const;
    bool isIPv6() const;
    std::string string() const;

    bool operator==(const CProtocolFamily& other) const { return _family == other._family; }
    bool operator!=(const CProtocolFamily& other) const { return _family != other._family; }

private:
    int _family = 0; // AF_UNSPEC
};

} // namespace osk
