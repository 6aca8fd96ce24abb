#include "standard/interface_enum.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "extended/exception.h"
#include "standard/endpoint.h"

namespace osk {

namespace {
// User-visible texts of CInterfaceEnum.
const char* const kCannotEnumerate = "Cannot enumerate network interfaces.";

struct IfAddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

bool readAddress(const sockaddr* raw, CIPAddress& address)
{
    if (!raw) return false;
    if (raw->sa_family == AF_INET) {
        address = CIPAddress(reinterpret_cast<const sockaddr_in*>(raw)->sin_addr);
        return true;
    }
    if (raw->sa_family == AF_INET6) {
        address = CIPAddress(reinterpret_cast<const sockaddr_in6*>(raw)->sin6_addr);
        return true;
    }
    return false;
}
} // namespace

CInterfaceEnum::CInterfaceEnum()
{
    refresh();
}

void CInterfaceEnum::refresh()
{
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        const int err = errno;
        CException e = OSK_EXCEPTION(CMessage(kCannotEnumerate), CMessage(std::strerror(err)),
                                     "CInterfaceEnum::refresh", "standard");
        e.err_code(err);
        throw e;
    }
    std::unique_ptr<ifaddrs, IfAddrsFree> list(raw);
    std::vector<CEntry> entries;
    for (const ifaddrs* item = list.get(); item; item = item->ifa_next) {
        CEntry entry;
        if (!readAddress(item->ifa_addr, entry.address)) continue;
        readAddress(item->ifa_netmask, entry.netmask);
        entry.name = item->ifa_name ? item->ifa_name : "";
        entry.index = item->ifa_name ? if_nametoindex(item->ifa_name) : 0;
        entry.flags = item->ifa_flags;
        entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const CEntry& a, const CEntry& b) {
        if (a.index != b.index) return a.index < b.index;
        return a.address < b.address;
    });
    _entries.swap(entries);
}

std::vector<CIPAddress> CInterfaceEnum::addresses(const std::string& name) const
{
    std::vector<CIPAddress> found;
    for (const CEntry& entry : _entries)
        if (entry.name == name) found.push_back(entry.address);
    return found;
}

std::vector<CIPAddress> CInterfaceEnum::addresses(unsigned index) const
{
    std::vector<CIPAddress> found;
    for (const CEntry& entry : _entries)
        if (entry.index == index) found.push_back(entry.address);
    return found;
}

std::vector<CIPAddress> CInterfaceEnum::addresses() const
{
    std::vector<CIPAddress> found;
    for (const CEntry& entry : _entries) found.push_back(entry.address);
    return found;
}

bool CInterfaceEnum::contains(const CIPAddress& address) const
{
    return std::any_of(_entries.begin(), _entries.end(),
                       [&address](const CEntry& entry) { return entry.address == address; });
}

bool CInterfaceEnum::hasIPv6Address() const
{
    return std::any_of(_entries.begin(), _entries.end(),
                       [](const CEntry& entry) { return entry.address.type() == CIPAddress::ipv6; });
}

bool CInterfaceEnum::hasIPv6()
{
    return CInterfaceEnum().hasIPv6Address();
}

} // namespace osk
