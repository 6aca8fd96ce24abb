#pragma once

#include <ace/Event_Handler.h>

#include <cstdint>
#include <map>
#include <string>

#include "extended/udp_binder.h"
#include "tftp/tftp_server/udp_callback.h"

class ACE_Reactor;
class CITFTPController;

// The request sockets of a UDP service: binds one socket per configured
// listen endpoint, registers them with a reactor and hands every readable
// socket to its callback.
class CUDPFrontend : public ACE_Event_Handler {
public:
    // name is used in log messages ("tftp").
    CUDPFrontend(CITFTPController* controller, const std::string& name, CUDPCallback* callback,
                 ACE_Reactor* reactor);
    ~CUDPFrontend() override;
    CUDPFrontend(const CUDPFrontend&) = delete;
    CUDPFrontend& operator=(const CUDPFrontend&) = delete;

    // Removes all handlers, reads the port (portKey, default defaultPort) and
    // the listen list (listenKey, default empty) from the configuration,
    // binds the sockets and registers them for input. False when no socket
    // could be bound. The flag is kept for address-change handling, which
    // needs nothing here.
    bool init(uint16_t defaultPort, bool flag, const std::string& portKey, const std::string& listenKey);
    // Closes and rebinds the sockets; the number bound.
    size_t rebindSockets();
    // Deregisters and closes every socket.
    void close();

    int handle_input(ACE_HANDLE handle) override;
    int handle_exception(ACE_HANDLE handle) override;

    osk::CUDPBinder& binder() { return _binder; }
    const std::string& name() const { return _name; }

private:
    void _removeHandlers();

    CITFTPController* _controller;
    std::string _name;
    CUDPCallback* _callback;
    osk::CUDPBinder _binder;
    std::map<ACE_HANDLE, osk::CSockDgram*> _byHandle;
    uint16_t _defaultPort = 0;  // given to init()
    bool _flag = false;
    std::string _portKey;
    std::string _listenKey;
};
