#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <utility>

#include "standard/guard.h"
#include "standard/nr_mutex.h"

namespace osk {

// Answers kept for a fixed time, at most a fixed number of them.
//
// An entry lives for lifetime() from the moment it was stored; after that
// find() no longer returns it. Every entry lives equally long, so the order
// in which entries were stored is the order in which they expire: when the
// cache is full, storing first drops the entries that have expired and then,
// if it is still full, the oldest one. Storing a key again replaces its
// entry and starts its lifetime anew. A lifetime of zero or a capacity of
// zero keeps nothing, so every find() misses.
//
// Every call holds the cache's lock, so one cache may serve several threads.
template <class Key, class Value>
class CExpiringCache {
public:
    using clock_t = std::chrono::steady_clock;
    using now_t = std::function<clock_t::time_point()>;

    // now is the clock (tests pass one they move by hand).
    CExpiringCache(std::chrono::microseconds lifetime, size_t capacity, now_t now = clock_t::now)
        : _lifetime(lifetime), _capacity(capacity), _now(std::move(now))
    {
    }
    CExpiringCache(const CExpiringCache&) = delete;
    CExpiringCache& operator=(const CExpiringCache&) = delete;

    // Copies the live entry of key into value; false (value untouched) when
    // there is none. An expired entry found on the way is dropped.
    bool find(const Key& key, Value& value)
    {
        CGuard<CNRMutex> guard(_lock);
        const auto found = _entries.find(key);
        if (found == _entries.end()) return false;
        if (_now() >= found->second.expires) {
            _erase(found);
            return false;
        }
        value = found->second.value;
        return true;
    }

    void store(const Key& key, Value value)
    {
        CGuard<CNRMutex> guard(_lock);
        if (!enabled()) return;
        const clock_t::time_point now = _now();
        const auto old = _entries.find(key);
        if (old != _entries.end()) _erase(old);
        while (!_order.empty() && _entries.find(_order.front())->second.expires <= now) _erase(_order.front());
        while (_entries.size() >= _capacity) _erase(_order.front());
        _order.push_back(key);
        _entries.emplace(key, CEntry{std::move(value), now + _lifetime, std::prev(_order.end())});
    }

    void clear()
    {
        CGuard<CNRMutex> guard(_lock);
        _entries.clear();
        _order.clear();
    }

    // Entries held, expired ones not yet dropped included.
    size_t size() const
    {
        CGuard<CNRMutex> guard(_lock);
        return _entries.size();
    }
    bool enabled() const { return _lifetime.count() > 0 && _capacity > 0; }
    std::chrono::microseconds lifetime() const { return _lifetime; }
    size_t capacity() const { return _capacity; }

private:
    struct CEntry {
        Value value;
        clock_t::time_point expires;
        typename std::list<Key>::iterator place;
    };
    using entries_t = std::map<Key, CEntry>;

    void _erase(typename entries_t::iterator entry)
    {
        _order.erase(entry->second.place);
        _entries.erase(entry);
    }
    void _erase(const Key& key) { _erase(_entries.find(key)); }

    const std::chrono::microseconds _lifetime;
    const size_t _capacity;
    const now_t _now;
    mutable CNRMutex _lock;
    entries_t _entries;
    // The keys, oldest first.
    std::list<Key> _order;
};

} // namespace osk
