#include "tftp/tftp_server/finished_transfers.h"

void CFinishedTransfers::remember(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& until)
{
    const uint64_t generation = ++_generation;
    const CEntry entry{until, generation, transmitting};
    _order.emplace_back(generation, client);
    const auto known = _entries.find(client);
    if (known != _entries.end()) {
        known->second = entry;
    } else {
        // Once the memory is full, the entry it forgets makes room for this
        // one: its node is reused rather than freed and allocated again.
        map_t::node_type reused;
        while (_entries.size() >= _capacity) {
            map_t::node_type forgotten = _forgetOldest();
            if (forgotten) reused = std::move(forgotten);
        }
        if (reused) {
            reused.key() = client;
            reused.mapped() = entry;
            _entries.insert(std::move(reused));
        } else {
            _entries.emplace(client, entry);
        }
    }
    while (_order.size() > 2 * _capacity) _forgetOldest();
}

CFinishedTransfers::map_t::node_type CFinishedTransfers::_forgetOldest()
{
    const auto oldest = _order.front();
    _order.pop_front();
    const auto entry = _entries.find(oldest.second);
    if (entry == _entries.end() || entry->second.generation != oldest.first) return map_t::node_type();
    return _entries.extract(entry);
}

bool CFinishedTransfers::recentlyEnded(const osk::CEndpoint& client, bool transmitting,
                                       const osk::CTimeval& now) const
{
    const auto entry = _entries.find(client);
    return entry != _entries.end() && entry->second.transmitting == transmitting && now < entry->second.until;
}

void CFinishedTransfers::clear()
{
    _entries.clear();
    _order.clear();
}
