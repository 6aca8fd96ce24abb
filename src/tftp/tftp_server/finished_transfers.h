#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
//
// Every finished transfer is remembered, so the memory takes no allocation
// after its construction: the entries live in a ring in the order they were
// remembered, and an open-addressing index of small words finds an
// endpoint's newest entry. Renewing an endpoint leaves its older entry in
// the ring, unreachable; the ring holds twice the capacity, so renewals too
// forget the oldest endpoints once it is full.
class CFinishedTransfers {
public:
    static constexpr size_t kDefaultCapacity = 4096;

    explicit CFinishedTransfers(size_t capacity = kDefaultCapacity);

    // Remembers that the transfer of client ended now, as a download
    // (transmitting) or an upload; its client may send late packets until
    // `until`.
    void remember(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& until);
    // True when a transfer of client that went this way ended recently
    // enough (now before its `until`) for a late packet of it to arrive.
    bool recentlyEnded(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& now) const;
    // The endpoints remembered.
    size_t size() const { return _endpoints; }
    void clear();

private:
    struct CEntry {
        osk::CEndpoint client;
        osk::CTimeval until;
        uint32_t hash = 0;
        bool transmitting = false;
    };
    // An index word: the endpoint's hash above, its entry's ring position
    // plus one below (zero marks a free word).
    using word_t = uint64_t;

    static uint32_t _hashOf(const osk::CEndpoint& client);
    static word_t _word(uint32_t hash, size_t position) { return (word_t(hash) << 32) | (position + 1); }
    static size_t _positionOf(word_t word) { return static_cast<size_t>(word & 0xffffffffu) - 1; }
    static uint32_t _hashIn(word_t word) { return static_cast<uint32_t>(word >> 32); }

    // The index word of client's newest entry, or of the free word where it
    // would go.
    size_t _find(const osk::CEndpoint& client, uint32_t hash) const;
    // Frees an index word, moving later words of its probe run back so that
    // every word stays reachable from its hash's first place.
    void _erase(size_t slot);
    // Drops the oldest ring entry; its endpoint leaves the memory unless a
    // newer entry of it was remembered since.
    void _forgetOldest();

    size_t _capacity;
    std::vector<CEntry> _ring;
    size_t _oldest = 0;
    size_t _used = 0;
    std::vector<word_t> _index;
    size_t _endpoints = 0;
};
