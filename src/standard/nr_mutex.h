#pragma once

#include <mutex>

namespace osk {

// Non-recursive mutex. Locking it twice from one thread deadlocks, which is
// what a non-recursive lock promises; use it where re-entry is a bug.
class CNRMutex {
public:
    CNRMutex() = default;
    CNRMutex(const CNRMutex&) = delete;
    CNRMutex& operator=(const CNRMutex&) = delete;

    void lock() { _mutex.lock(); }
    bool tryLock() { return _mutex.try_lock(); }
    void unlock() { _mutex.unlock(); }

    // Lockable spelling so standard helpers (std::unique_lock) accept it.
    bool try_lock() { return tryLock(); }
    std::mutex& native() { return _mutex; }

private:
    std::mutex _mutex;
};

} // namespace osk
