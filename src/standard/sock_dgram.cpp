#include "standard/sock_dgram.h"

#include <ace/INET_Addr.h>
#include <ace/Time_Value.h>
#include <poll.h>

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CSockDgram.
const char* const kOpenFailed = "Failed to open a datagram socket.";
const char* const kBindFailed = "Cannot bind to %1.";
const char* const kNoAddress = "The local endpoint has no address.";
} // namespace

bool CSockDgram::waitWritable(int handle, int timeoutMs)
{
    pollfd entry{};
    entry.fd = handle;
    entry.events = POLLOUT;
    for (;;) {
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

CSockDgram::~CSockDgram()
{
    close();
}

void CSockDgram::open(const CEndpoint& local, int protocol, bool reuse)
{
    close();
    if (!local.ip_address().isValid())
        throw OSK_EXCEPTION(CMessage(kOpenFailed), CMessage(kNoAddress), "CSockDgram::open", kModule);
    _family = local.protocol_family();
    const ACE_INET_Addr address = local.ace_addr();
    const int v6Only = (_family.isIPv6() && _v6Only) ? 1 : 0;
    if (_socket.open(address, _family.family(), protocol, reuse ? 1 : 0, v6Only) != 0) {
        const int err = errno;
        CException e = OSK_EXCEPTION(CMessage(kOpenFailed), CMessage(kBindFailed).pushs(local.string()),
                                     "CSockDgram::open", kModule);
        e.err_code(err);
        throw e;
    }
    try {
        _local = _boundEndpoint();
        _localKnown = true;
    } catch (const CException&) {
        // local_endpoint() asks again and reports the failure.
    }
}

void CSockDgram::open(uint16_t port, bool ipv6)
{
    CEndpoint local;
    local.reset(ipv6 ? CIPAddress::ipv6 : CIPAddress::ipv4);
    local.hbo_port(port);
    open(local);
}

void CSockDgram::close()
{
    _localKnown = false;
    if (isOpen()) _socket.close();
}

CEndpoint CSockDgram::local_endpoint() const
{
    return _localKnown ? _local : _boundEndpoint();
}

CEndpoint CSockDgram::_boundEndpoint() const
{
    ACE_INET_Addr address;
    if (_socket.get_local_addr(address) != 0) {
        const int err = errno;
        CException e = OSK_EXCEPTION(CMessage(kOpenFailed), CMessage(std::strerror(err)),
                                     "CSockDgram::local_endpoint", kModule);
        e.err_code(err);
        throw e;
    }
    return CEndpoint(address);
}

ssize_t CSockDgram::send(const void* data, size_t length, const CEndpoint& to, int flags)
{
    return _socket.send(data, length, to.ace_addr(), flags);
}

ssize_t CSockDgram::send(const void* data, size_t length, const CEndpoint& to, int flags,
                         const ACE_Time_Value* timeout)
{
    return _socket.send(data, length, to.ace_addr(), flags, timeout);
}

ssize_t CSockDgram::recv(void* data, size_t length, CEndpoint& from, int flags)
{
    // Every datagram the engine reads comes through here: the sender's
    // address goes straight into the endpoint, without an ACE address.
    sockaddr_storage peer;
    socklen_t peerLength = sizeof(peer);
    const ssize_t received =
        ::recvfrom(_socket.get_handle(), data, length, flags, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    if (received >= 0) from.set(reinterpret_cast<const sockaddr*>(&peer), peerLength);
    return received;
}

ssize_t CSockDgram::recv(void* data, size_t length, CEndpoint& from, int flags, const ACE_Time_Value* timeout)
{
    ACE_INET_Addr peer;
    const ssize_t received = _socket.recv(data, length, peer, flags, timeout);
    if (received >= 0) from = CEndpoint(peer);
    return received;
}

ssize_t CSockDgram::send_blocked(const void* data, size_t length, const CEndpoint& to, int flags)
{
    sockaddr_storage peer;
    socklen_t peerLength = 0;
    try {
        peerLength = to.to_sockaddr(peer);
    } catch (const CException&) {
        errno = EINVAL;
        return -1;
    }
    const int handle = _socket.get_handle();
    ssize_t sent;
    do {
        sent = ::sendto(handle, data, length, flags, reinterpret_cast<const sockaddr*>(&peer), peerLength);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) return sent;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (!waitWritable(handle, blockedWaitSeconds * 1000)) return -1;
    return ::sendto(handle, data, length, flags, reinterpret_cast<const sockaddr*>(&peer), peerLength);
}

size_t CSockDgram::send_many(const iovec* parts, size_t partsPerDatagram, size_t datagrams, const CEndpoint& to)
{
    sockaddr_storage peer;
    socklen_t peerLength = 0;
    try {
        peerLength = to.to_sockaddr(peer);
    } catch (const CException&) {
        return 0;
    }
    // Datagrams handed to the kernel per call.
    mmsghdr messages[64];
    size_t sent = 0;
    while (sent < datagrams) {
        const size_t count = std::min(datagrams - sent, sizeof(messages) / sizeof(messages[0]));
        for (size_t i = 0; i < count; ++i) {
            msghdr& header = messages[i].msg_hdr;
            header = msghdr();
            header.msg_name = &peer;
            header.msg_namelen = peerLength;
            header.msg_iov = const_cast<iovec*>(parts + (sent + i) * partsPerDatagram);
            header.msg_iovlen = partsPerDatagram;
            messages[i].msg_len = 0;
        }
        const size_t done = send_messages(messages, count);
        sent += done;
        if (done < count) break;
    }
    return sent;
}

size_t CSockDgram::send_messages(mmsghdr* messages, size_t count)
{
    const int handle = _socket.get_handle();
    size_t sent = 0;
    bool waited = false;
    while (sent < count) {
        const int done = ::sendmmsg(handle, messages + sent, static_cast<unsigned>(count - sent), 0);
        if (done > 0) {
            sent += static_cast<size_t>(done);
            waited = false;
            continue;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !waited &&
            waitWritable(handle, blockedWaitSeconds * 1000)) {
            waited = true;
            continue;
        }
        break;
    }
    return sent;
}

} // namespace osk
