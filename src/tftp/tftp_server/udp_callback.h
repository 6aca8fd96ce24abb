#pragma once

#include "standard/sock_dgram.h"

// What a UDP frontend calls when one of its sockets has something to say.
class CUDPCallback {
public:
    virtual ~CUDPCallback() = default;
    // A datagram is waiting on sock.
    virtual void udp_input(osk::CSockDgram& sock) = 0;
    // The socket reported an exceptional condition.
    virtual void udp_exception(osk::CSockDgram& sock) = 0;
    // A signal the frontend was registered for arrived.
    virtual void udp_signal(int signum) { (void)signum; }
};
