#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>

#include "standard/endpoint.h"
#include "standard/timeval.h"

// A short memory of the transfers that ended, by client endpoint: which way
// each one went and until when its client may still send late packets.
//
// A client port that starts a new transfer right after the previous one may
// still have packets of the old transfer in flight (a repeated final ACK of
// a download, a repeated last DATA block of an upload). Those packets must
// not end the new transfer; a packet that no transfer of that endpoint could
// have sent still does. The memory holds at most `capacity` endpoints; the
// oldest entry goes first, so a flood of short transfers cannot grow it.
class CFinishedTransfers {
public:
    static constexpr size_t kDefaultCapacity = 4096;

    explicit CFinishedTransfers(size_t capacity = kDefaultCapacity) : _capacity(capacity ? capacity : 1)
    {
        _entries.reserve(_capacity + 1);
    }

    // Remembers that the transfer of client ended now, as a download
    // (transmitting) or an upload; its client may send late packets until
    // `until`.
    void remember(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& until);
    // True when a transfer of client that went this way ended recently
    // enough (now before its `until`) for a late packet of it to arrive.
    bool recentlyEnded(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& now) const;
    size_t size() const { return _entries.size(); }
    void clear();

private:
    struct CEntry {
        osk::CTimeval until;
        uint64_t generation;
        bool transmitting;
    };

    using map_t = std::unordered_map<osk::CEndpoint, CEntry, osk::CEndpointHash>;

    // Takes the oldest place in the order; its entry, unless renewed since,
    // leaves the memory and is returned (empty otherwise).
    map_t::node_type _forgetOldest();

    size_t _capacity;
    uint64_t _generation = 0;
    // Hashed: every finished transfer is remembered here.
    map_t _entries;
    // Endpoints in the order they were remembered, with the generation of
    // that remembering: an entry renewed since is not evicted by its old
    // place in the order.
    std::deque<std::pair<uint64_t, osk::CEndpoint>> _order;
};
