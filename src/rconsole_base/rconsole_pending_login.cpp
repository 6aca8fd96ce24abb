#include "rconsole_base/rconsole_pending_login.h"

#include <ace/Time_Value.h>

#include <cerrno>
#include <cstring>

#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_wire.h"

namespace {
const char* const kModule = "rconsole_base";
const char* const kAuthorizeFailed = "Failed to authorize login.";
const char* const kTimedOut = "The login exchange was not completed in time.";
const char* const kUnknownPeer = "<unknown peer>";
} // namespace

CRConsolePendingLogin::CRConsolePendingLogin(ACE_HANDLE handle) : _stream(handle)
{
    try {
        const osk::CEndpoint peer = _stream.remote_endpoint();
        _peerText = peer.string();
        _peerAddress = peer.ip_address().string();
    } catch (const osk::CException&) {
        _peerText = kUnknownPeer;
        _peerAddress = kUnknownPeer;
    }
}

CRConsolePendingLogin::~CRConsolePendingLogin() { _stream.close(); }

bool CRConsolePendingLogin::sendChallenge()
{
    CRConsoleLogin::makeChallenge(_challenge);
    return CRConsoleWire::sendClear(_stream, &_challenge, sizeof(_challenge)) >= 0;
}

CRConsolePendingLogin::Progress CRConsolePendingLogin::receive()
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&_response);
    const ACE_Time_Value noWait(ACE_Time_Value::zero);
    const ssize_t got = _stream.recv(bytes + _received, sizeof(_response) - _received, &noWait);
    if (got == 0) {
        errno = ECONNRESET;
        return Progress::failed;
    }
    if (got < 0) return errno == ETIME || errno == EWOULDBLOCK || errno == EINTR ? Progress::incomplete
                                                                                   : Progress::failed;
    _received += static_cast<size_t>(got);
    return _received == sizeof(_response) ? Progress::complete : Progress::incomplete;
}

ACE_HANDLE CRConsolePendingLogin::releaseHandle()
{
    const ACE_HANDLE handle = _stream.get_handle();
    _stream.set_handle(ACE_INVALID_HANDLE);
    return handle;
}

osk::CException CRConsolePendingLogin::authorizeFailure(int err)
{
    return osk::CException(osk::CMessage(kAuthorizeFailed), osk::CMessage(err ? std::strerror(err) : ""),
                           "CRConsolePendingLogin::receive", kModule, __FILE__, __LINE__, osk::CException::error,
                           err);
}

osk::CException CRConsolePendingLogin::timedOut()
{
    return osk::CException(osk::CMessage(kAuthorizeFailed), osk::CMessage(kTimedOut), "CRConsolePendingLogin::receive",
                           kModule, __FILE__, __LINE__, osk::CException::error, ETIME);
}
