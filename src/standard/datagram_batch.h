#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "standard/endpoint.h"

namespace osk {

class CSockDgram;

// Datagrams read from a socket several at a time (recvmmsg) and handed out
// one at a time. A busy socket then costs one system call per batch rather
// than one per datagram, which on a server that answers small packets is a
// good part of its processor time.
//
// Datagrams read and not handed out yet stay here: a caller that stops
// reading while pending() is not zero must come back for them, since the
// socket no longer shows them as readable.
class CDatagramBatch {
public:
    // At most capacity datagrams per read.
    explicit CDatagramBatch(size_t capacity);
    CDatagramBatch(const CDatagramBatch&) = delete;
    CDatagramBatch& operator=(const CDatagramBatch&) = delete;

    // The next datagram, copied into data (cut at length bytes, as recv
    // cuts it) with its sender in from. Reads a new batch from sock with
    // flags when none is left, each datagram of at most length bytes.
    // Returns the datagram's length, or what the read returned (0 or -1
    // with errno) when the socket had nothing.
    ssize_t next(CSockDgram& sock, void* data, size_t length, CEndpoint& from, int flags);
    // Datagrams read from the socket and not handed out yet.
    size_t pending() const { return _count - _next; }
    size_t capacity() const { return _headers.size(); }
    // Forgets the pending datagrams.
    void clear() { _count = _next = 0; }

private:
    ssize_t _read(CSockDgram& sock, size_t slotBytes, int flags);

    size_t _slotBytes = 0;
    std::unique_ptr<unsigned char[]> _storage;
    std::vector<iovec> _parts;
    std::vector<sockaddr_storage> _senders;
    std::vector<mmsghdr> _headers;
    size_t _count = 0;
    size_t _next = 0;
    // Headers the last read filled in (all of them after the slots grew).
    size_t _used = 0;
};

} // namespace osk
