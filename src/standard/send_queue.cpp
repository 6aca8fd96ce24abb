#include "standard/send_queue.h"

#include <cstring>

#include "extended/exception.h"
#include "standard/sock_dgram.h"

namespace osk {

CSendQueue::CSendQueue(size_t capacity)
    : _slots(capacity ? capacity : 1), _parts(_slots.size()), _headers(_slots.size())
{
}

bool CSendQueue::push(CSockDgram& sock, const void* data, size_t length, const CEndpoint& to)
{
    if (_count == _slots.size()) flush(sock);
    CSlot& slot = _slots[_count];
    try {
        slot.addressLength = to.to_sockaddr(slot.address);
    } catch (const CException&) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    // The slot keeps its capacity: after the first bursts nothing is
    // allocated here.
    slot.bytes.assign(bytes, bytes + length);
    slot.to = to;
    ++_count;
    return true;
}

void CSendQueue::flush(CSockDgram& sock)
{
    for (size_t i = 0; i < _count; ++i) {
        _parts[i] = iovec{_slots[i].bytes.data(), _slots[i].bytes.size()};
        msghdr& header = _headers[i].msg_hdr;
        header = msghdr();
        header.msg_name = &_slots[i].address;
        header.msg_namelen = _slots[i].addressLength;
        header.msg_iov = &_parts[i];
        header.msg_iovlen = 1;
        _headers[i].msg_len = 0;
    }
    size_t sent = 0;
    while (sent < _count) {
        sent += sock.send_messages(_headers.data() + sent, _count - sent);
        if (sent == _count) break;
        // The first datagram left was refused (or the socket stayed full):
        // the others may still go.
        _failed.push_back(_slots[sent].to);
        ++sent;
    }
    _count = 0;
}

std::vector<CEndpoint> CSendQueue::takeFailed()
{
    std::vector<CEndpoint> failed;
    failed.swap(_failed);
    return failed;
}

} // namespace osk
