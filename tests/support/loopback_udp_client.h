#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "standard/endpoint.h"

namespace test_support {

// A raw UDP peer bound to an ephemeral port on 127.0.0.1 (or another
// loopback address, to play a second client machine): the tests speak TFTP
// through it byte by byte, including what no real client would send. It
// always sends to 127.0.0.1.
class LoopbackUDPClient {
public:
    explicit LoopbackUDPClient(const char* source = "127.0.0.1")
    {
        _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = _loopback(0);
        ::inet_pton(AF_INET, source, &local.sin_addr);
        ::bind(_fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    }
    ~LoopbackUDPClient() { ::close(_fd); }
    LoopbackUDPClient(const LoopbackUDPClient&) = delete;
    LoopbackUDPClient& operator=(const LoopbackUDPClient&) = delete;

    void send(uint16_t port, const std::string& bytes)
    {
        sockaddr_in to = _loopback(port);
        ::sendto(_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    // The next datagram within ms milliseconds and the port it came from;
    // false when none came.
    bool recv(std::string& out, int ms, uint16_t* fromPort = nullptr)
    {
        pollfd entry{_fd, POLLIN, 0};
        if (::poll(&entry, 1, ms) <= 0) return false;
        char buffer[70000];
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        const ssize_t n = ::recvfrom(_fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) return false;
        out.assign(buffer, static_cast<size_t>(n));
        if (fromPort) *fromPort = ntohs(from.sin_port);
        return true;
    }
    osk::CEndpoint endpoint() const
    {
        sockaddr_in local{};
        socklen_t length = sizeof(local);
        ::getsockname(_fd, reinterpret_cast<sockaddr*>(&local), &length);
        return osk::CEndpoint(local);
    }

private:
    static sockaddr_in _loopback(uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    int _fd;
};

} // namespace test_support
