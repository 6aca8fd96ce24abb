#include "tftp/tftp_server/finished_transfers.h"

void CFinishedTransfers::remember(const osk::CEndpoint& client, bool transmitting, const osk::CTimeval& until)
{
    const uint64_t generation = ++_generation;
    _entries[client] = CEntry{until, generation, transmitting};
    _order.emplace_back(generation, client);
    while (_entries.size() > _capacity || _order.size() > 2 * _capacity) {
        const auto oldest = _order.front();
        _order.pop_front();
        const auto entry = _entries.find(oldest.second);
        if (entry != _entries.end() && entry->second.generation == oldest.first) _entries.erase(entry);
    }
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
