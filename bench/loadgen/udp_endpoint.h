// A numeric UDP address (IPv4 or IPv6) as the socket calls want it.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace loadgen {

class CUdpEndpoint {
public:
    CUdpEndpoint() = default;
    // Throws std::invalid_argument when `host` is not a numeric address.
    CUdpEndpoint(const std::string& host, uint16_t port);
    // The address a datagram came from.
    CUdpEndpoint(const sockaddr_storage& address, socklen_t length);

    int family() const { return _address.ss_family; }
    uint16_t port() const;
    void port(uint16_t value);
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&_address); }
    socklen_t length() const { return _length; }
    std::string string() const;

private:
    sockaddr_storage _address{};
    socklen_t _length = 0;
};

} // namespace loadgen
