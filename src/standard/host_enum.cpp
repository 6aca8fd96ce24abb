#include "standard/host_enum.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "extended/exception.h"
#include "standard/endpoint.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CHostEnum.
const char* const kCannotResolveHost = "Cannot resolve host name %1.";
const char* const kCannotResolveAddress = "Cannot resolve address %1.";
const char* const kCannotResolveService = "Cannot resolve service %1.";
const char* const kNotAService = "No port is known for service '%1' over %2.";
const char* const kNoHostname = "Cannot read the host name.";

CException resolverError(const char* what, const std::string& subject, int code, const char* context)
{
    const int err = code == EAI_SYSTEM ? errno : 0;
    CException e = OSK_EXCEPTION(CMessage(what).pushs(subject),
                                 CMessage(err ? std::strerror(err) : gai_strerror(code)), context, kModule);
    e.err_code(err);
    return e;
}

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
} // namespace

std::vector<CIPAddress> CHostEnum::enumerate(const std::string& name, order_t order, int family)
{
    addrinfo hints{};
    hints.ai_family = family == AF_INET || family == AF_INET6 ? family : AF_UNSPEC;
    // One socket type, so that each address comes back once.
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* raw = nullptr;
    const int code = getaddrinfo(name.c_str(), nullptr, &hints, &raw);
    std::unique_ptr<addrinfo, AddrInfoFree> list(raw);
    if (code != 0 || name.find('\0') != std::string::npos)
        throw resolverError(kCannotResolveHost, name, code ? code : EAI_NONAME, "CHostEnum::enumerate");

    std::vector<CIPAddress> addresses;
    for (const addrinfo* entry = list.get(); entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
        CEndpoint endpoint;
        endpoint.set(entry->ai_addr, entry->ai_addrlen);
        const CIPAddress& address = endpoint.ip_address();
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
    }
    if (order != resolver_order) {
        const uint8_t first = order == ipv4_first ? CIPAddress::ipv4 : CIPAddress::ipv6;
        std::stable_partition(addresses.begin(), addresses.end(),
                              [first](const CIPAddress& address) { return address.type() == first; });
    }
    return addresses;
}

std::string CHostEnum::resolveNumeric(const CIPAddress& address, bool nameRequired)
{
    sockaddr_storage storage;
    const socklen_t length = CEndpoint(address, 0).to_sockaddr(storage);
    char host[NI_MAXHOST];
    const int code = getnameinfo(reinterpret_cast<const sockaddr*>(&storage), length, host, sizeof(host), nullptr,
                                 0, nameRequired ? NI_NAMEREQD : 0);
    if (code != 0) throw resolverError(kCannotResolveAddress, address.string(), code, "CHostEnum::resolveNumeric");
    return host;
}

uint16_t CHostEnum::getServicePort(const std::string& service, const std::string& protocol)
{
    const bool numeric = !service.empty() && service.size() <= 5 &&
                         std::all_of(service.begin(), service.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numeric) {
        const unsigned long port = std::stoul(service);
        if (port <= 65535) return static_cast<uint16_t>(port);
    } else if (!service.empty() && service.find('\0') == std::string::npos) {
        servent entry;
        servent* found = nullptr;
        char buffer[1024];
        if (getservbyname_r(service.c_str(), protocol.c_str(), &entry, buffer, sizeof(buffer), &found) == 0 && found)
            return ntohs(static_cast<uint16_t>(found->s_port));
    }
    throw OSK_EXCEPTION(CMessage(kCannotResolveService).pushs(service),
                        CMessage(kNotAService).pushs(service).pushs(protocol), "CHostEnum::getServicePort",
                        kModule);
}

std::string CHostEnum::shortHostname()
{
    char name[256];
    if (gethostname(name, sizeof(name)) != 0) {
        const int err = errno;
        CException e = OSK_EXCEPTION(CMessage(kNoHostname), CMessage(std::strerror(err)), "CHostEnum::shortHostname",
                                     kModule);
        e.err_code(err);
        throw e;
    }
    name[sizeof(name) - 1] = '\0';
    std::string text(name);
    return text.substr(0, text.find('.'));
}

} // namespace osk
