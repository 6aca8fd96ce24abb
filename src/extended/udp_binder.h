#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "standard/sock_dgram.h"
#include "standard/tracked_factory.h"

namespace osk {

class CMasterController;

// The bound UDP sockets of a service port: one per listen endpoint, or one on
// every local address when no endpoint is listed.
class CUDPBinder {
public:
    // name is the frontend's name used in log messages ("tftp").
    CUDPBinder(CMasterController* controller, const std::string& name) : _controller(controller), _name(name) {}
    ~CUDPBinder() { closeSockets(); }
    CUDPBinder(const CUDPBinder&) = delete;
    CUDPBinder& operator=(const CUDPBinder&) = delete;

    // Closes the previous sockets, then binds one socket (with address
    // reuse) per endpoint of listenOn, a list separated by commas, spaces or
    // semicolons; an endpoint without a port uses defaultPort. With an empty
    // list one socket is bound to defaultPort on all addresses. Each failure
    // and success is logged. Returns the number of sockets bound; when it is
    // 0 "Failed to create any daemon sockets." has been logged.
    size_t createSockets(const std::string& listenOn, uint16_t defaultPort);
    void closeSockets();
    // Applied to every socket.
    bool blockingMode(bool blocking);
    bool broadcastMode(bool broadcast);

    std::vector<CTrackedPtr<CSockDgram>>& sockets() { return _sockets; }
    size_t size() const { return _sockets.size(); }

    // An endpoint of a listen list: "1.2.3.4", "1.2.3.4:69", "::1", "[::1]:69".
    static CEndpoint parseListenEndpoint(const std::string& text, uint16_t defaultPort);

private:
    // errCode, when not 0, is the system's reason (shown after the text).
    void _log(uint32_t severity, const std::string& text, const std::string& endpoint, int errCode = 0);

    CMasterController* _controller;
    std::string _name;
    std::vector<CTrackedPtr<CSockDgram>> _sockets;
};

} // namespace osk
