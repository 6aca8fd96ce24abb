#include "ping_pong_floor.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "udp_endpoint.h"

namespace loadgen {

namespace {
int boundSocket(uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("floor socket: ") + std::strerror(errno));
    CUdpEndpoint local("127.0.0.1", 0);
    if (::bind(fd, local.address(), local.length()) != 0)
        throw std::runtime_error(std::string("floor bind: ") + std::strerror(errno));
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    port = ntohs(bound.sin_port);
    // A lost datagram would stall the ping-pong: give up after a second.
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    return fd;
}
} // namespace

CLoadReport CPingPongFloor::run()
{
    uint16_t pingPort = 0, pongPort = 0;
    const int ping = boundSocket(pingPort);
    const int pong = boundSocket(pongPort);
    const CUdpEndpoint toPong("127.0.0.1", pongPort);
    const CUdpEndpoint toPing("127.0.0.1", pingPort);
    const size_t rounds = _rounds;

    std::thread echo([&] {
        std::vector<uint8_t> buffer(65536);
        for (size_t i = 0; i < rounds; ++i) {
            const ssize_t got = ::recv(pong, buffer.data(), buffer.size(), 0);
            if (got < 0) return;
            // The answer is an ACK-sized datagram.
            ::sendto(pong, buffer.data(), 4, 0, toPing.address(), toPing.length());
        }
    });
    std::vector<uint8_t> packet(_payload, 0x5a), reply(65536);
    size_t done = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (; done < rounds; ++done) {
        ::sendto(ping, packet.data(), packet.size(), 0, toPong.address(), toPong.length());
        if (::recv(ping, reply.data(), reply.size(), 0) < 0) break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    echo.join();
    ::close(ping);
    ::close(pong);

    CLoadReport report;
    report.mode = "floor";
    report.transfers = rounds;
    report.completed = done;
    report.failures = rounds - done;
    report.seconds = seconds;
    report.roundTripUsec = done ? seconds * 1e6 / static_cast<double>(done) : 0;
    return report;
}

} // namespace loadgen
