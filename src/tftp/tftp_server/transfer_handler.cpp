#include "tftp/tftp_server/transfer_handler.h"

#include <ace/Reactor.h>
#include <fcntl.h>
#include <sys/socket.h>

#include "extended/exception.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_server.h"

namespace {
const char* const kModule = "tftp_server";
const char* const kBlockingMode = "Failed to set blocking mode for the transfer socket.";
const char* const kCannotRegister = "Cannot register the transfer socket with the reactor.";

// Room for bursts of acknowledgements from many clients at once.
const int kSocketBuffer = 4 * 1024 * 1024;
} // namespace

CTransferHandler::CTransferHandler(CITFTPController* controller, CTFTPServer* server, ACE_Reactor* reactor)
    : ACE_Event_Handler(reactor), _controller(controller), _server(server)
{
}

CTransferHandler::~CTransferHandler() { _deregister(); }

void CTransferHandler::_deregister()
{
    if (_registered && reactor())
        reactor()->remove_handler(this, ACE_Event_Handler::ALL_EVENTS_MASK | ACE_Event_Handler::DONT_CALL);
    _registered = false;
}

bool CTransferHandler::init()
{
    try {
        _deregister();
        _createSocket();
        if (reactor()->register_handler(this, ACE_Event_Handler::READ_MASK | ACE_Event_Handler::EXCEPT_MASK) == -1)
            throw OSK_EXCEPTION(osk::CMessage(kCannotRegister, kModule), osk::CMessage(),
                                "CTransferHandler::init", kModule);
        _registered = true;
        return true;
    } catch (const osk::CException& e) {
        if (_controller) {
            _controller->exceptionFacade().push(e);
            _controller->syslog(osk::CException::error, osk::CMessage(e.printableError(), kModule), e.err_code());
        }
        return false;
    }
}

void CTransferHandler::_createSocket()
{
    const std::string key = CTFTPConfigNames::transferPort();
    uint16_t port = CTFTPConfigNames::service().defaults().get_uint16(key, uint16_t(0));
    if (_controller) port = _controller->config()->get_uint16(key, port);
    // A dual-stack socket serves IPv4 and IPv6 clients alike; without IPv6
    // an IPv4 socket does.
    try {
        _sock.open(port, true);
    } catch (const osk::CException&) {
        _sock.open(port, false);
    }
    const int handle = _sock.get_handle();
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) != 0) {
        _sock.close();
        osk::CException e = OSK_EXCEPTION(osk::CMessage(kBlockingMode, kModule), osk::CMessage(),
                                          "CTransferHandler::_createSocket", kModule);
        e.severity(osk::CException::error);
        throw e;
    }
    const int size = kSocketBuffer;
    ::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    ::setsockopt(handle, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    _port = _sock.local_endpoint().hbo_port();
}

int CTransferHandler::handle_input(ACE_HANDLE)
{
    _server->servicePacket(_sock);
    return 0;
}

int CTransferHandler::handle_exception(ACE_HANDLE) { return 0; }
