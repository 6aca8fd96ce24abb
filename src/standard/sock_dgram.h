#pragma once

#include <ace/SOCK_Dgram.h>

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>

#include "standard/endpoint.h"
#include "standard/protocol_family.h"

class ACE_Time_Value;

namespace osk {

// A UDP socket over ACE_SOCK_Dgram that remembers its protocol family and
// whether an IPv6 socket should refuse IPv4 traffic (v6Only, applied when
// the socket is opened).
class CSockDgram {
public:
    CSockDgram() = default;
    ~CSockDgram();
    CSockDgram(const CSockDgram&) = delete;
    CSockDgram& operator=(const CSockDgram&) = delete;

    // Opens a socket of the endpoint's family bound to the endpoint (port 0
    // picks a free port). Throws "Failed to open a datagram socket.".
    void open(const CEndpoint& local, int protocol = 0, bool reuse = false);
    // Opens on the wildcard address of a port: IPv6 when ipv6 is set.
    void open(uint16_t port, bool ipv6 = false);
    void close();
    bool isOpen() const { return _socket.get_handle() != ACE_INVALID_HANDLE; }

    bool v6Only() const { return _v6Only; }
    void v6Only(bool value) { _v6Only = value; }
    const CProtocolFamily& protocol_family() const { return _family; }
    ACE_HANDLE get_handle() const { return _socket.get_handle(); }
    ACE_SOCK_Dgram& ace_socket() { return _socket; }
    // The bound address (with the port the system chose). It is read from
    // the system once, when the socket is opened: a socket that is never
    // connected keeps the address it was bound to.
    CEndpoint local_endpoint() const;

    // One datagram to or from an endpoint. They return the byte count, or
    // -1 with errno set (ETIME when the time-out passed).
    ssize_t send(const void* data, size_t length, const CEndpoint& to, int flags = 0);
    ssize_t send(const void* data, size_t length, const CEndpoint& to, int flags, const ACE_Time_Value* timeout);
    ssize_t recv(void* data, size_t length, CEndpoint& from, int flags = 0);
    ssize_t recv(void* data, size_t length, CEndpoint& from, int flags, const ACE_Time_Value* timeout);

    // sendto; when the socket would block, waits up to blockedWaitSeconds
    // for it to become writable and tries once more. Returns sendto's
    // result of the last try, -1 on any other failure.
    ssize_t send_blocked(const void* data, size_t length, const CEndpoint& to, int flags = 0);
    static constexpr int blockedWaitSeconds = 180;
    // Waits up to timeoutMs for a descriptor to accept data (poll, not
    // select: descriptors above FD_SETSIZE are legal here).
    static bool waitWritable(int handle, int timeoutMs);
    // Several datagrams to one endpoint in as few system calls as the socket
    // allows (sendmmsg): datagram i is made of parts[i * partsPerDatagram]
    // onwards. Waits like send_blocked when the socket is full. Returns the
    // number of datagrams sent; fewer than asked for means a failure.
    size_t send_many(const iovec* parts, size_t partsPerDatagram, size_t datagrams, const CEndpoint& to);
    // Prepared messages, each with its own address, in as few calls as the
    // socket allows (sendmmsg); waits like send_blocked when the socket is
    // full. Returns how many went out: fewer than count means the next one
    // failed, with errno set.
    size_t send_messages(mmsghdr* messages, size_t count);

private:
    // Asks the system for the bound address; throws when it cannot say.
    CEndpoint _boundEndpoint() const;

    ACE_SOCK_Dgram _socket;
    CProtocolFamily _family;
    bool _v6Only = false;
    CEndpoint _local;
    bool _localKnown = false;
};

} // namespace osk
