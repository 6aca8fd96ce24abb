#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <vector>

#include "standard/endpoint.h"

namespace osk {

class CSockDgram;

// Datagrams on their way out of one socket, each to its own endpoint, queued
// and then sent together (sendmmsg). A server that answers a burst of
// packets makes one system call for the burst instead of one per answer,
// and a receiver on this machine is woken once for the burst rather than
// once per datagram.
class CSendQueue {
public:
    // Sends once capacity datagrams are queued.
    explicit CSendQueue(size_t capacity);
    CSendQueue(const CSendQueue&) = delete;
    CSendQueue& operator=(const CSendQueue&) = delete;

    // Queues a copy of the datagram for `to` (in the socket's own family);
    // a full queue is sent first. False when `to` has no socket address.
    bool push(CSockDgram& sock, const void* data, size_t length, const CEndpoint& to);
    // Sends what is queued, in order. A full socket is waited for as
    // CSockDgram::send_blocked waits; a datagram the system refuses is
    // skipped and its endpoint kept for takeFailed().
    void flush(CSockDgram& sock);
    size_t size() const { return _count; }
    // The endpoints of the datagrams that could not be sent since the last
    // call, oldest first.
    std::vector<CEndpoint> takeFailed();

private:
    struct CSlot {
        std::vector<unsigned char> bytes;
        sockaddr_storage address;
        socklen_t addressLength;
        CEndpoint to;
    };

    std::vector<CSlot> _slots;
    std::vector<iovec> _parts;
    std::vector<mmsghdr> _headers;
    size_t _count = 0;
    std::vector<CEndpoint> _failed;
};

} // namespace osk
