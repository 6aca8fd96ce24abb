#pragma once

#include <atomic>

namespace osk {

// A signed 64-bit counter shared between threads.
class CAtomicLong {
public:
    explicit CAtomicLong(long value = 0) : _value(value) {}
    CAtomicLong(const CAtomicLong&) = delete;
    CAtomicLong& operator=(const CAtomicLong&) = delete;

    long value() const { return _value.load(); }
    void value(long newValue) { _value.store(newValue); }
    // Each returns the value after the change.
    long increment() { return ++_value; }
    long decrement() { return --_value; }
    long add(long delta) { return _value += delta; }
    // Sets the value to desired when it equals expected; true on success.
    bool compareExchange(long expected, long desired)
    {
        return _value.compare_exchange_strong(expected, desired);
    }

private:
    std::atomic<long> _value;
};

} // namespace osk
