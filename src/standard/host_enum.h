#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standard/ip_address.h"

namespace osk {

// Name resolution through the system resolver (getaddrinfo, getnameinfo).
class CHostEnum {
public:
    // Order of the addresses that enumerate() returns. The resolver's own
    // order (RFC 6724 preferences) is kept within each family.
    enum order_t { resolver_order, ipv4_first, ipv6_first };

    // The distinct addresses of a host name or numeric address, of one
    // family (AF_INET, AF_INET6) or both (AF_UNSPEC). Throws "Cannot resolve
    // host name %1." when the name has no address.
    static std::vector<CIPAddress> enumerate(const std::string& name, order_t order = resolver_order,
                                             int family = 0);
    // The host name of an address (reverse lookup). With nameRequired
    // false an address without a name gives its numeric text; with it set
    // that throws "Cannot resolve address %1.".
    static std::string resolveNumeric(const CIPAddress& address, bool nameRequired = false);
    // The port of a service name ("tftp") or decimal number for a protocol
    // ("udp", "tcp"). Throws "Cannot resolve service %1.".
    static uint16_t getServicePort(const std::string& service, const std::string& protocol = "udp");
    // This host's name up to the first ".".
    static std::string shortHostname();
};

} // namespace osk
