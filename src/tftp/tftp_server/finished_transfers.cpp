#include "tftp/tftp_server/finished_transfers.h"

#include <algorithm>

namespace {

// The smallest power of two at least twice as large as n: the index stays
// at most half full, so probe runs stay short.
size_t indexSizeFor(size_t n)
{
    size_t size = 2;
    while (size < 2 * n) size *= 2;
    return size;
}

} // namespace

CFinishedTransfers::CFinishedTransfers(size_t capacity)
    : _capacity(capacity ? capacity : 1), _ring(2 * _capacity), _index(indexSizeFor(_capacity))
{
}

uint32_t CFinishedTransfers::_hashOf(const osk::CEndpoint& client)
{
    return static_cast<uint32_t>(osk::CEndpointHash()(client));
}

void CFinishedTransfers::remember(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& until)
{
    if (_used == _ring.size()) _forgetOldest();
    const uint32_t hash = _hashOf(client);
    size_t slot = _find(client, hash);
    if (!_index[slot]) {
        if (_endpoints >= _capacity) {
            while (_endpoints >= _capacity) _forgetOldest();
            // Forgetting moved index words: look for the free word again.
            slot = _find(client, hash);
        }
        ++_endpoints;
    }
    const size_t position = (_oldest + _used) % _ring.size();
    ++_used;
    CEntry& entry = _ring[position];
    entry.client = client;
    entry.until = until;
    entry.hash = hash;
    entry.transmitting = transmitting;
    _index[slot] = _word(hash, position);
}

bool CFinishedTransfers::recentlyEnded(const osk::CEndpoint& client, bool transmitting,
                                       const osk::CTimeval& now) const
{
    const word_t word = _index[_find(client, _hashOf(client))];
    if (!word) return false;
    const CEntry& entry = _ring[_positionOf(word)];
    return entry.transmitting == transmitting && now < entry.until;
}

void CFinishedTransfers::clear()
{
    std::fill(_index.begin(), _index.end(), word_t(0));
    _oldest = 0;
    _used = 0;
    _endpoints = 0;
}

size_t CFinishedTransfers::_find(const osk::CEndpoint& client, uint32_t hash) const
{
    const size_t mask = _index.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const word_t word = _index[slot];
        if (!word || (_hashIn(word) == hash && _ring[_positionOf(word)].client == client)) return slot;
    }
}

void CFinishedTransfers::_erase(size_t slot)
{
    const size_t mask = _index.size() - 1;
    size_t hole = slot;
    for (size_t next = (hole + 1) & mask; _index[next]; next = (next + 1) & mask) {
        // A word may fill the hole when the hole lies on its probe run, that
        // is between its first place and where it is now.
        const size_t home = _hashIn(_index[next]) & mask;
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            _index[hole] = _index[next];
            hole = next;
        }
    }
    _index[hole] = 0;
}

void CFinishedTransfers::_forgetOldest()
{
    const CEntry& oldest = _ring[_oldest];
    const size_t slot = _find(oldest.client, oldest.hash);
    // Only the endpoint's newest entry is in the index.
    if (_index[slot] && _positionOf(_index[slot]) == _oldest) {
        _erase(slot);
        --_endpoints;
    }
    _oldest = (_oldest + 1) % _ring.size();
    --_used;
}
