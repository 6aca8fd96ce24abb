#include "standard/sock_stream.h"

#include <ace/INET_Addr.h>
#include <ace/Time_Value.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CSockStream.
const char* const kInvalidHandle = "Invalid handle.";
const char* const kStreamClosed = "The stream socket is not open.";
const char* const kCannotTransmit = "Cannot transmit buffer.";
const char* const kWriteTimeout = "The peer accepted no data for %1 seconds.";
const char* const kNoAddress = "Cannot read the address of the stream socket.";

CException systemError(const char* what, const char* context, int err)
{
    CException e = OSK_EXCEPTION(CMessage(what), CMessage(std::strerror(err)), context, kModule);
    e.err_code(err);
    return e;
}
} // namespace

CSockStream::CSockStream(ACE_HANDLE handle)
{
    _stream.set_handle(handle);
}

CSockStream::~CSockStream()
{
    close();
}

bool CSockStream::sendAtOnce(ACE_HANDLE handle)
{
    const int on = 1;
    return ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) == 0;
}

void CSockStream::close()
{
    if (isOpen()) _stream.close();
}

CEndpoint CSockStream::local_endpoint() const
{
    ACE_INET_Addr address;
    if (_stream.get_local_addr(address) != 0) throw systemError(kNoAddress, "CSockStream::local_endpoint", errno);
    return CEndpoint(address);
}

CEndpoint CSockStream::remote_endpoint() const
{
    ACE_INET_Addr address;
    if (_stream.get_remote_addr(address) != 0) throw systemError(kNoAddress, "CSockStream::remote_endpoint", errno);
    return CEndpoint(address);
}

void CSockStream::send_blocked(const void* data, size_t length, int flags)
{
    const ACE_HANDLE handle = _stream.get_handle();
    if (handle == ACE_INVALID_HANDLE)
        throw OSK_EXCEPTION(CMessage(kInvalidHandle), CMessage(kStreamClosed), "CSockStream::send_blocked", kModule);
    const char* next = static_cast<const char*>(data);
    size_t left = length;
    while (left > 0) {
        // MSG_NOSIGNAL: a peer that went away is an error, not SIGPIPE.
        const ssize_t sent = ::send(handle, next, left, flags | MSG_NOSIGNAL);
        if (sent > 0) {
            next += sent;
            left -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{};
            entry.fd = handle;
            entry.events = POLLOUT;
            int ready;
            do {
                ready = ::poll(&entry, 1, blockedWaitSeconds * 1000);
            } while (ready < 0 && errno == EINTR);
            if (ready < 0) throw systemError(kCannotTransmit, "CSockStream::send_blocked", errno);
            if (ready == 0)
                throw OSK_EXCEPTION(CMessage(kCannotTransmit), CMessage(kWriteTimeout).push(blockedWaitSeconds),
                                    "CSockStream::send_blocked", kModule);
            continue;
        }
        throw systemError(kCannotTransmit, "CSockStream::send_blocked", sent < 0 ? errno : EPIPE);
    }
}

ssize_t CSockStream::send(const void* data, size_t length, const ACE_Time_Value* timeout)
{
    return _stream.send(data, length, timeout);
}

ssize_t CSockStream::recv(void* data, size_t length, const ACE_Time_Value* timeout)
{
    return _stream.recv(data, length, timeout);
}

ssize_t CSockStream::recv_n(void* data, size_t length, const ACE_Time_Value* timeout)
{
    return _stream.recv_n(data, length, timeout);
}

} // namespace osk
