#pragma once

#include <cstddef>

#include "rconsole_base/rconsole_auth_protocol.h"

// What the acceptor hands a new connection handler before starting it: the
// login exchange that it already held with the peer, and whether there is
// room for one more console.
struct CRConsoleAdmission {
    // False: the connection is in clear and there was no login exchange.
    bool encryption = true;
    rconsole_auth_protocol challenge{};
    rconsole_auth_protocol response{};
    // Non-zero: the consoles logged in already, which is the most allowed.
    // The handler then tells a console that logs in so and closes.
    size_t sessionsFull = 0;
};
