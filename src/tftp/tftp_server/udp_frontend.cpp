#include "tftp/tftp_server/udp_frontend.h"

#include <ace/Reactor.h>
#include <sys/socket.h>

#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace {
// Room for the requests of many clients that start at once (a rack of
// machines booting): the engine admits them one by one, and a request that
// does not fit is only repeated after the client's time-out.
const int kRequestSocketBuffer = 4 * 1024 * 1024;
} // namespace

CUDPFrontend::CUDPFrontend(CITFTPController* controller, const std::string& name, CUDPCallback* callback,
                           ACE_Reactor* reactor)
    : ACE_Event_Handler(reactor), _controller(controller), _name(name), _callback(callback), _binder(controller, name)
{
}

CUDPFrontend::~CUDPFrontend() { close(); }

bool CUDPFrontend::init(uint16_t defaultPort, bool flag, const std::string& portKey, const std::string& listenKey)
{
    _removeHandlers();
    _defaultPort = defaultPort;
    _flag = flag;
    _portKey = portKey;
    _listenKey = listenKey;
    if (rebindSockets() == 0) return false;
    for (auto& sock : _binder.sockets()) {
        if (reactor()->register_handler(sock->get_handle(), this, ACE_Event_Handler::READ_MASK) == -1) continue;
        _byHandle[sock->get_handle()] = sock.get();
    }
    return !_byHandle.empty();
}

size_t CUDPFrontend::rebindSockets()
{
    std::string listenOn;
    uint16_t port = _defaultPort;
    if (_controller) {
        osk::CConfigPtr config = _controller->config();
        listenOn = config->get_string(_listenKey, std::string());
        port = config->get_uint16(_portKey, _defaultPort);
    }
    const size_t count = _binder.createSockets(listenOn, port);
    _binder.blockingMode(false);
    for (auto& sock : _binder.sockets())
        ::setsockopt(sock->get_handle(), SOL_SOCKET, SO_RCVBUF, &kRequestSocketBuffer, sizeof(kRequestSocketBuffer));
    return count;
}

void CUDPFrontend::_removeHandlers()
{
    if (reactor())
        for (const auto& entry : _byHandle)
            reactor()->remove_handler(entry.first, ACE_Event_Handler::ALL_EVENTS_MASK | ACE_Event_Handler::DONT_CALL);
    _byHandle.clear();
}

void CUDPFrontend::close()
{
    _removeHandlers();
    _binder.closeSockets();
}

int CUDPFrontend::handle_input(ACE_HANDLE handle)
{
    const auto found = _byHandle.find(handle);
    if (found != _byHandle.end() && _callback) _callback->udp_input(*found->second);
    return 0;
}

int CUDPFrontend::handle_exception(ACE_HANDLE handle)
{
    const auto found = _byHandle.find(handle);
    if (found != _byHandle.end() && _callback) _callback->udp_exception(*found->second);
    return 0;
}
