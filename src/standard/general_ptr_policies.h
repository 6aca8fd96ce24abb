#pragma once

#include <atomic>
#include <mutex>

#include "standard/tracked_factory.h"

namespace osk {

// Policies of CGeneralPtr. Each answers one question:
//  ownership    - is the pointee deleted with the last copy, and is the
//                 shared reference count safe across threads?
//  method lock  - does operator-> hold the pointee's lock for the call?
//  object lock  - does the pointer family carry a lock at all?
//  copying      - how deepCopy() duplicates the pointee.

// ---- ownership ----------------------------------------------------------
// Single-threaded owner: plain shared count, pointee deleted with the last copy.
struct CSTOwnerPolicy {
    static constexpr bool owns = true;
    using counter_t = long;
};
// Multi-threaded owner: the shared count is atomic, so copies may be made and
// dropped on different threads.
struct CMTOwnerPolicy {
    static constexpr bool owns = true;
    using counter_t = std::atomic<long>;
};
// Non-owners never delete the pointee; the object's lifetime is someone else's.
struct CSTNotOwnerPolicy {
    static constexpr bool owns = false;
    using counter_t = long;
};
struct CMTNotOwnerPolicy {
    static constexpr bool owns = false;
    using counter_t = std::atomic<long>;
};

// ---- object locking -----------------------------------------------------
struct CNullLock {
    void lock() {}
    void unlock() {}
};
// No lock travels with the pointer.
struct CNoObjectLockPolicy {
    using lock_t = CNullLock;
    static constexpr bool locks = false;
};
// Every copy of the pointer shares one recursive lock, so a thread holding it
// may call through another copy without deadlocking itself.
struct CObjectLockPolicy {
    using lock_t = std::recursive_mutex;
    static constexpr bool locks = true;
};

// ---- method locking -----------------------------------------------------
// Holds the pointer family's lock for the duration of one member call:
// `ptr->method()` locks before the call and unlocks after the full expression.
template <class T, class Lock>
class CLockProxy {
public:
    CLockProxy(T* pointee, Lock& lock) : _pointee(pointee), _lock(lock) { _lock.lock(); }
    ~CLockProxy() { _lock.unlock(); }
    CLockProxy(const CLockProxy&) = delete;
    CLockProxy& operator=(const CLockProxy&) = delete;
    T* operator->() const { return _pointee; }

private:
    T* _pointee;
    Lock& _lock;
};

struct CNoMethodLockPolicy {
    static constexpr bool needsLock = false;
    template <class T, class Lock>
    using proxy_t = T*;
    template <class T, class Lock>
    static T* proxy(T* pointee, Lock*) { return pointee; }
};

struct CMethodLockPolicy {
    static constexpr bool needsLock = true;
    template <class T, class Lock>
    using proxy_t = CLockProxy<T, Lock>;
    template <class T, class Lock>
    static CLockProxy<T, Lock> proxy(T* pointee, Lock* lock) { return CLockProxy<T, Lock>(pointee, *lock); }
};

// ---- copying ------------------------------------------------------------
// Deep copies go through the pointee's copy constructor.
struct CConstructorDeepCopyPolicy {
    template <class T>
    static T* copy(const T& original) { return CTrackedFactory::create<T>(original); }
};

} // namespace osk
