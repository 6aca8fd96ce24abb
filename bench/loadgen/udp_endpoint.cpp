#include "udp_endpoint.h"

#include <arpa/inet.h>

#include <cstring>
#include <stdexcept>

namespace loadgen {

CUdpEndpoint::CUdpEndpoint(const std::string& host, uint16_t port)
{
    auto* v4 = reinterpret_cast<sockaddr_in*>(&_address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&_address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        _length = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        _length = sizeof(sockaddr_in6);
    } else {
        throw std::invalid_argument("'" + host + "' is not a numeric IPv4 or IPv6 address");
    }
    this->port(port);
}

CUdpEndpoint::CUdpEndpoint(const sockaddr_storage& address, socklen_t length) : _address(address), _length(length) {}

uint16_t CUdpEndpoint::port() const
{
    if (_address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&_address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&_address)->sin_port);
}

void CUdpEndpoint::port(uint16_t value)
{
    if (_address.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6*>(&_address)->sin6_port = htons(value);
    else reinterpret_cast<sockaddr_in*>(&_address)->sin_port = htons(value);
}

std::string CUdpEndpoint::string() const
{
    char text[INET6_ADDRSTRLEN] = "";
    if (_address.ss_family == AF_INET6) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&_address)->sin6_addr, text, sizeof(text));
        return "[" + std::string(text) + "]:" + std::to_string(port());
    }
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&_address)->sin_addr, text, sizeof(text));
    return std::string(text) + ":" + std::to_string(port());
}

} // namespace loadgen
