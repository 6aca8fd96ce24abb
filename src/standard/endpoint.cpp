#include "standard/endpoint.h"

#include <ace/INET_Addr.h>

#include <cstdio>
#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CEndpoint.
const char* const kCannotCreate = "Cannot create an endpoint.";
const char* const kNotValidText = "Text '%1' is not a valid endpoint.";
const char* const kBadFamily = "Address family %1 is neither ipv4 nor ipv6.";
const char* const kIllegalOperation = "Illegal operation.";
const char* const kUnsetAddress = "The endpoint has no address.";

CException badText(const std::string& text)
{
    return OSK_EXCEPTION(CMessage(kCannotCreate), CMessage(kNotValidText).pushs(text), "CEndpoint::set", kModule);
}
} // namespace

CEndpoint::CEndpoint(const CIPAddress& address, uint16_t port) : _address(address), _port(port) {}

CEndpoint::CEndpoint(const std::string& text)
{
    set(text);
}

CEndpoint::CEndpoint(const sockaddr_in& address)
{
    set(reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

CEndpoint::CEndpoint(const sockaddr_in6& address)
{
    set(reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

CEndpoint::CEndpoint(const ACE_INET_Addr& address)
{
    set(static_cast<const sockaddr*>(address.get_addr()), static_cast<socklen_t>(address.get_addr_size()));
}

void CEndpoint::reset(uint8_t type)
{
    _address = CIPAddress(type == CIPAddress::ipv6 ? CIPAddress::ipv6
                          : type == CIPAddress::ipv4 ? CIPAddress::ipv4
                                                     : CIPAddress::unknown);
    _port = 0;
    _scopeId = 0;
    _flowInfo = 0;
}

void CEndpoint::set(const std::string& text)
{
    std::string addressText;
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find("]:");
        if (close == std::string::npos) throw badText(text);
        addressText = text.substr(1, close - 1);
        portText = text.substr(close + 2);
        // Brackets enclose IPv6 addresses only.
        if (addressText.find(':') == std::string::npos) throw badText(text);
    } else {
        const size_t colon = text.find(':');
        if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) throw badText(text);
        addressText = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    if (portText.empty() || portText.size() > 5) throw badText(text);
    unsigned port = 0;
    for (char c : portText) {
        if (c < '0' || c > '9') throw badText(text);
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port > 65535) throw badText(text);
    const CIPAddress address(addressText);
    _address = address;
    _port = static_cast<uint16_t>(port);
    _scopeId = 0;
    _flowInfo = 0;
}

void CEndpoint::set(const sockaddr* address, socklen_t length)
{
    if (address && address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        _address = CIPAddress(v4->sin_addr);
        _port = ntohs(v4->sin_port);
        _scopeId = 0;
        _flowInfo = 0;
        return;
    }
    if (address && address->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        _address = CIPAddress(v6->sin6_addr);
        _port = ntohs(v6->sin6_port);
        _scopeId = v6->sin6_scope_id;
        _flowInfo = ntohl(v6->sin6_flowinfo);
        return;
    }
    throw OSK_EXCEPTION(CMessage(kCannotCreate), CMessage(kBadFamily).push(address ? address->sa_family : -1),
                        "CEndpoint::set", kModule);
}

std::string CEndpoint::string() const
{
    const std::string address = _address.string();
    char port[8];
    std::snprintf(port, sizeof(port), "%d", static_cast<int>(_port));
    if (_address.type() == CIPAddress::ipv6) return "[" + address + "]:" + port;
    return address + ":" + port;
}

socklen_t CEndpoint::to_sockaddr(sockaddr_storage& storage) const
{
    std::memset(&storage, 0, sizeof(storage));
    if (_address.type() == CIPAddress::ipv4) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(_port);
        v4->sin_addr = _address.inAddr();
        return sizeof(sockaddr_in);
    }
    if (_address.type() == CIPAddress::ipv6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(_port);
        v6->sin6_addr = _address.in6Addr();
        v6->sin6_scope_id = _scopeId;
        v6->sin6_flowinfo = htonl(_flowInfo);
        return sizeof(sockaddr_in6);
    }
    throw OSK_EXCEPTION(CMessage(kIllegalOperation), CMessage(kUnsetAddress), "CEndpoint::to_sockaddr", kModule);
}

ACE_INET_Addr CEndpoint::ace_addr() const
{
    sockaddr_storage storage;
    const socklen_t length = to_sockaddr(storage);
    ACE_INET_Addr address;
    // map = 0: keep the family of the endpoint as it is.
    address.set_addr(&storage, static_cast<int>(length), 0);
    return address;
}

size_t CEndpointHash::operator()(const CEndpoint& endpoint) const
{
    // The fields operator== compares, folded into two words and mixed by
    // MurmurHash3's finaliser: every packet of a transfer is looked up by
    // its endpoint, and a loop over single bytes took a hundred instructions.
    const auto finalise = [](uint64_t word) {
        word ^= word >> 33;
        word *= 0xff51afd7ed558ccdull;
        word ^= word >> 33;
        word *= 0xc4ceb9fe1a85ec53ull;
        return word ^ (word >> 33);
    };
    const CIPAddress& address = endpoint.ip_address();
    uint64_t bytes[2] = {0, 0};
    // Copies of a fixed length, which the compiler turns into two loads.
    if (address.type() == CIPAddress::ipv4) std::memcpy(bytes, address.raw_addr(), 4);
    else if (address.type() == CIPAddress::ipv6) std::memcpy(bytes, address.raw_addr(), 16);
    const uint64_t fields = (uint64_t(address.type()) << 48) ^ (uint64_t(endpoint.hbo_port()) << 32) ^
                            endpoint.scope_id();
    return static_cast<size_t>(finalise(finalise(bytes[0] ^ fields) ^ bytes[1]));
}

} // namespace osk
