#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "standard/ip_address.h"
#include "standard/protocol_family.h"

class ACE_INET_Addr;

namespace osk {

// An ip address with a port in host byte order, plus the IPv6 scope id and
// flow info. Text forms: "10.0.0.1:69" and "[::1]:69".
class CEndpoint {
public:
    // Unset address, port 0.
    CEndpoint() = default;
    CEndpoint(const CIPAddress& address, uint16_t port);
    // Parses either text form; throws "Cannot create an endpoint." (or the
    // address's own error for a bad address part).
    explicit CEndpoint(const std::string& text);
    explicit CEndpoint(const sockaddr_in& address);
    explicit CEndpoint(const sockaddr_in6& address);
    explicit CEndpoint(const ACE_INET_Addr& address);

    static const char* typeName() { return "CEndpoint"; }

    const CIPAddress& ip_address() const { return _address; }
    void ip_address(const CIPAddress& address) { _address = address; }
    uint16_t hbo_port() const { return _port; }
    void hbo_port(uint16_t port) { _port = port; }
    uint32_t scope_id() const { return _scopeId; }
    void scope_id(uint32_t id) { _scopeId = id; }
    uint32_t flow_info() const { return _flowInfo; }
    void flow_info(uint32_t info) { _flowInfo = info; }
    CProtocolFamily protocol_family() const { return CProtocolFamily::fromAddrType(_address.type()); }

    // Wildcard or loopback address of the current type (IPv4 when unset);
    // the port is kept.
    void set_inaddr_any() { _address.set_inaddr_any(); }
    void set_inaddr_loopback() { _address.setLoopback(); }
    // All-zero address of a type, port 0, no scope or flow.
    void reset(uint8_t type);

    // Replaces the endpoint with parsed text.
    void set(const std::string& text);
    void string(const std::string& text) { set(text); }
    // Replaces the endpoint with a system socket address (AF_INET or
    // AF_INET6); throws "Cannot create an endpoint." for other families.
    void set(const sockaddr* address, socklen_t length);
    std::string string() const;

    // Fills a system socket address; returns its length. Throws "Illegal
    // operation." for an unset address.
    socklen_t to_sockaddr(sockaddr_storage& storage) const;
    ACE_INET_Addr ace_addr() const;

    // Ordered by address, then port, then scope id.
    // Inline like the address comparison: transfer tables are keyed by
    // endpoint.
    bool operator==(const CEndpoint& other) const
    {
        return _port == other._port && _scopeId == other._scopeId && _address == other._address;
    }
    bool operator!=(const CEndpoint& other) const { return !(*this == other); }
    bool operator<(const CEndpoint& other) const
    {
        const int byAddress = _address.compare(other._address);
        if (byAddress != 0) return byAddress < 0;
        if (_port != other._port) return _port < other._port;
        return _scopeId < other._scopeId;
    }
    bool operator>(const CEndpoint& other) const { return other < *this; }

private:
    CIPAddress _address;
    uint16_t _port = 0;
    uint32_t _scopeId = 0;
    uint32_t _flowInfo = 0;
};

// Hash of an endpoint for unordered containers: its address bytes, port
// and scope, so that endpoints equal by operator== hash alike.
struct CEndpointHash {
    size_t operator()(const CEndpoint& endpoint) const;
};

} // namespace osk
