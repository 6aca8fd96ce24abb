#pragma once

#include <ace/Event_Handler.h>

#include <cstdint>

#include "standard/sock_dgram.h"

class ACE_Reactor;
class CITFTPController;
class CTFTPServer;

// The transfer socket shared by all transfers (told apart by the client's
// address and port) and its registration with the engine's reactor.
class CTransferHandler : public ACE_Event_Handler {
public:
    CTransferHandler(CITFTPController* controller, CTFTPServer* server, ACE_Reactor* reactor);
    ~CTransferHandler() override;
    CTransferHandler(const CTransferHandler&) = delete;
    CTransferHandler& operator=(const CTransferHandler&) = delete;

    // Binds tftp.transfer_port (0: any free port), non-blocking, and
    // registers for input. False (the exception handed to the controller's
    // exception facade) when that fails.
    bool init();
    osk::CSockDgram& sock() { return _sock; }
    // The port actually bound.
    uint16_t port() const { return _port; }

    ACE_HANDLE get_handle() const override { return _sock.get_handle(); }
    int handle_input(ACE_HANDLE handle) override;
    int handle_exception(ACE_HANDLE handle) override;

private:
    void _createSocket();
    void _deregister();

    CITFTPController* _controller;
    CTFTPServer* _server;
    osk::CSockDgram _sock;
    uint16_t _port = 0;
    bool _registered = false;
};
