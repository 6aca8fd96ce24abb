#pragma once

#include <ace/Basic_Types.h>

#include <cstddef>
#include <string>

#include "extended/exception.h"
#include "rconsole_base/rconsole_auth_protocol.h"
#include "standard/sock_stream.h"

// A console connection that has not logged in yet, kept by the acceptor
// without a thread of its own: it sends the challenge, then collects the
// response a piece at a time whenever the acceptor's reactor finds the
// socket readable. A connection whose login failed waits here too, until
// the failure is answered by closing it.
class CRConsolePendingLogin {
public:
    enum class Stage {
        // The response is still arriving.
        exchanging,
        // The login failed; the connection closes when its time is up.
        answeringFailure
    };
    enum class Progress { incomplete, complete, failed };

    // Takes over the accepted socket.
    explicit CRConsolePendingLogin(ACE_HANDLE handle);
    // Closes the socket unless it was released.
    ~CRConsolePendingLogin();
    CRConsolePendingLogin(const CRConsolePendingLogin&) = delete;
    CRConsolePendingLogin& operator=(const CRConsolePendingLogin&) = delete;

    // Builds and sends the challenge; false with errno set when it could not
    // be sent.
    bool sendChallenge();
    // Reads what has arrived without waiting. failed: the peer closed or the
    // read failed (errno set).
    Progress receive();

    const rconsole_auth_protocol& challenge() const { return _challenge; }
    const rconsole_auth_protocol& response() const { return _response; }
    size_t received() const { return _received; }

    ACE_HANDLE handle() const { return _stream.get_handle(); }
    // Hands the socket to a new owner; the login no longer closes it.
    ACE_HANDLE releaseHandle();
    // The peer as ip:port for log messages, and its address alone.
    const std::string& peerText() const { return _peerText; }
    const std::string& peerAddress() const { return _peerAddress; }

    Stage stage() const { return _stage; }
    void stage(Stage stage) { _stage = stage; }
    // The reactor timer that ends this stage; -1 when none is running.
    long timer() const { return _timer; }
    void timer(long id) { _timer = id; }

    // "Failed to authorize login." with the system error err.
    static osk::CException authorizeFailure(int err);
    // "Failed to authorize login." because the exchange's time ran out.
    static osk::CException timedOut();

private:
    osk::CSockStream _stream;
    rconsole_auth_protocol _challenge{};
    rconsole_auth_protocol _response{};
    size_t _received = 0;
    std::string _peerText;
    std::string _peerAddress;
    Stage _stage = Stage::exchanging;
    long _timer = -1;
};
