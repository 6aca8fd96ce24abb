#pragma once

#include <pthread.h>

#include <functional>
#include <map>

#include "standard/guard.h"

namespace osk {

// One value per thread id, kept in a map guarded by Lock. Each thread reaches
// only its own entry, so the lock is held only for the lookup itself.
template <class Value, class Lock>
class CMultiPtr {
public:
    using factory_t = std::function<Value()>;

    CMultiPtr() = default;
    CMultiPtr(const CMultiPtr&) = delete;
    CMultiPtr& operator=(const CMultiPtr&) = delete;

    // The calling thread's value, created with the factory on first use.
    Value& mine(const factory_t& factory)
    {
        CGuard<Lock> guard(_lock);
        auto found = _values.find(pthread_self());
        if (found == _values.end()) found = _values.emplace(pthread_self(), factory()).first;
        return found->second;
    }

    // The calling thread's value if it has one.
    bool find(Value& out)
    {
        CGuard<Lock> guard(_lock);
        const auto found = _values.find(pthread_self());
        if (found == _values.end()) return false;
        out = found->second;
        return true;
    }

    // Removes the calling thread's entry; returns it through out when present.
    bool take(Value& out)
    {
        CGuard<Lock> guard(_lock);
        const auto found = _values.find(pthread_self());
        if (found == _values.end()) return false;
        out = found->second;
        _values.erase(found);
        return true;
    }

    // Calls fn(value) for every entry, under the lock.
    template <class Fn>
    void forEach(Fn fn)
    {
        CGuard<Lock> guard(_lock);
        for (auto& entry : _values) fn(entry.second);
    }

    // Removes every entry, passing each to fn first (to release it).
    template <class Fn>
    void clear(Fn fn)
    {
        CGuard<Lock> guard(_lock);
        for (auto& entry : _values) fn(entry.second);
        _values.clear();
    }

    size_t size()
    {
        CGuard<Lock> guard(_lock);
        return _values.size();
    }

private:
    Lock _lock;
    std::map<pthread_t, Value> _values;
};

} // namespace osk
