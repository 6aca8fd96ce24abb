#include "extended/udp_binder.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <sstream>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "extended";

const char* const kCannotCreate = "The %1 frontend failed to create a socket for %2.";
const char* const kListening = "The %1 frontend is listening on %2.";
const char* const kNoSockets = "Failed to create any daemon sockets.";

// A listen list may separate its endpoints by commas, semicolons, blanks or
// tabs.
const char* const kListSeparators = ", ;\t";
} // namespace

CEndpoint CUDPBinder::parseListenEndpoint(const std::string& text, uint16_t defaultPort)
{
    // A bare address (IPv4 or IPv6 without brackets) takes the default port.
    const bool bracketed = !text.empty() && text[0] == '[';
    const size_t colons = std::count(text.begin(), text.end(), ':');
    if (!bracketed && (colons == 0 || colons > 1)) return CEndpoint(CIPAddress(text), defaultPort);
    if (bracketed && text.find("]:") == std::string::npos)
        return CEndpoint(CIPAddress(text.substr(1, text.size() - 2)), defaultPort);
    CEndpoint endpoint(text);
    if (endpoint.hbo_port() == 0) endpoint.hbo_port(defaultPort);
    return endpoint;
}

void CUDPBinder::_log(uint32_t severity, const std::string& text, const std::string& endpoint, int errCode)
{
    if (_controller) _controller->syslog(severity, CMessage(text, kModule).pushs(_name).pushs(endpoint), errCode);
}

size_t CUDPBinder::createSockets(const std::string& listenOn, uint16_t defaultPort)
{
    closeSockets();
    const std::vector<std::string> list = CStringUtil::split(listenOn, kListSeparators);
    for (const std::string& item : list) {
        auto sock = CTrackedFactory::createUnique<CSockDgram>();
        try {
            const CEndpoint endpoint = parseListenEndpoint(item, defaultPort);
            sock->open(endpoint, 0, true);
            _log(CException::info, kListening, sock->local_endpoint().string());
            _sockets.push_back(std::move(sock));
        } catch (const CException& failure) {
            // The reason (a port in use, an address not on this host) is
            // what an operator needs to mend the listen list.
            _log(CException::error, kCannotCreate, item, failure.err_code());
        }
    }
    if (list.empty()) {
        auto sock = CTrackedFactory::createUnique<CSockDgram>();
        try {
            // IPv6 wildcard sockets also take IPv4 traffic (v4-mapped).
            try {
                sock->open(defaultPort, true);
            } catch (const CException&) {
                sock->open(defaultPort, false);
            }
            _log(CException::info, kListening, sock->local_endpoint().string());
            _sockets.push_back(std::move(sock));
        } catch (const CException& failure) {
            _log(CException::error, kCannotCreate, "*:" + std::to_string(defaultPort), failure.err_code());
        }
    }
    if (_sockets.empty() && _controller) _controller->syslog(CException::error, CMessage(kNoSockets, kModule));
    return _sockets.size();
}

void CUDPBinder::closeSockets() { _sockets.clear(); }

bool CUDPBinder::blockingMode(bool blocking)
{
    bool ok = true;
    for (auto& sock : _sockets) {
        const int handle = sock->get_handle();
        const int flags = ::fcntl(handle, F_GETFL);
        if (flags < 0) {
            ok = false;
            continue;
        }
        const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
        if (::fcntl(handle, F_SETFL, wanted) != 0) ok = false;
    }
    return ok;
}

bool CUDPBinder::broadcastMode(bool broadcast)
{
    bool ok = true;
    const int value = broadcast ? 1 : 0;
    for (auto& sock : _sockets)
        if (::setsockopt(sock->get_handle(), SOL_SOCKET, SO_BROADCAST, &value, sizeof(value)) != 0) ok = false;
    return ok;
}

} // namespace osk
