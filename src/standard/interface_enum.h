#pragma once

#include <string>
#include <vector>

#include "standard/ip_address.h"

namespace osk {

// The host's interface addresses, read with getifaddrs. Entries are sorted
// by interface index, then IPv4 before IPv6, then by address.
class CInterfaceEnum {
public:
    // One address of one interface.
    struct CEntry {
        std::string name;
        unsigned index = 0;
        CIPAddress address;
        CIPAddress netmask;
        unsigned flags = 0; // IFF_UP, IFF_LOOPBACK, ...
    };

    // Reads the interfaces at once; throws "Cannot enumerate network
    // interfaces." when the system refuses.
    CInterfaceEnum();
    // Reads them again.
    void refresh();

    const std::vector<CEntry>& entries() const { return _entries; }
    // Addresses of an interface by name or index (empty when unknown).
    std::vector<CIPAddress> addresses(const std::string& name) const;
    std::vector<CIPAddress> addresses(unsigned index) const;
    // Every address of every interface.
    std::vector<CIPAddress> addresses() const;
    bool contains(const CIPAddress& address) const;
    bool hasIPv6Address() const;

    // Whether any interface of this host carries an IPv6 address.
    static bool hasIPv6();

private:
    std::vector<CEntry> _entries;
};

} // namespace osk
