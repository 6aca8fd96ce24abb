#include "standard/datagram_batch.h"

#include <cerrno>
#include <cstring>

#include "standard/sock_dgram.h"

namespace osk {

CDatagramBatch::CDatagramBatch(size_t capacity)
    : _parts(capacity ? capacity : 1), _senders(_parts.size()), _headers(_parts.size())
{
}

ssize_t CDatagramBatch::_read(CSockDgram& sock, size_t slotBytes, int flags)
{
    // The slots grow with the largest datagram asked for (a larger block
    // size negotiated) and never shrink; the headers point into them.
    if (slotBytes > _slotBytes) {
        // Left uninitialised: only the bytes datagrams bring are touched.
        _storage.reset(new unsigned char[_headers.size() * slotBytes]);
        _slotBytes = slotBytes;
        for (size_t i = 0; i < _headers.size(); ++i) {
            _parts[i].iov_base = _storage.get() + i * _slotBytes;
            msghdr& header = _headers[i].msg_hdr;
            std::memset(&header, 0, sizeof(header));
            header.msg_name = &_senders[i];
            header.msg_iov = &_parts[i];
            header.msg_iovlen = 1;
        }
        _used = _headers.size();
    }
    // recvmmsg writes each message's address length and size back: only
    // the headers the last read used need setting again. A polling engine
    // reads an empty socket many times in a row, so this stays short.
    for (size_t i = 0; i < _used; ++i) {
        _parts[i].iov_len = slotBytes;
        _headers[i].msg_hdr.msg_namelen = sizeof(sockaddr_storage);
        _headers[i].msg_hdr.msg_flags = 0;
        _headers[i].msg_len = 0;
    }
    int read;
    do {
        read = ::recvmmsg(sock.get_handle(), _headers.data(), static_cast<unsigned int>(_headers.size()), flags,
                          nullptr);
    } while (read < 0 && errno == EINTR);
    _next = 0;
    _count = read > 0 ? static_cast<size_t>(read) : 0;
    _used = _count;
    return read;
}

ssize_t CDatagramBatch::next(CSockDgram& sock, void* data, size_t length, CEndpoint& from, int flags)
{
    if (pending() == 0) {
        const ssize_t read = _read(sock, length, flags);
        if (read <= 0) return read;
    }
    const size_t index = _next++;
    const mmsghdr& header = _headers[index];
    from.set(static_cast<const sockaddr*>(header.msg_hdr.msg_name), header.msg_hdr.msg_namelen);
    const size_t size = header.msg_len < length ? header.msg_len : length;
    std::memcpy(data, _parts[index].iov_base, size);
    return static_cast<ssize_t>(size);
}

} // namespace osk
