#pragma once

namespace osk {

// The opposite of CGuard: releases a lock its owner holds for one scope and
// takes it again when the scope ends, also when an exception leaves it. For
// a thread that holds a lock while it works and gives it up while it waits.
template <class Lockable>
class CReverseGuard {
public:
    explicit CReverseGuard(Lockable& lock) : _lock(lock) { _lock.unlock(); }
    ~CReverseGuard() { _lock.lock(); }
    CReverseGuard(const CReverseGuard&) = delete;
    CReverseGuard& operator=(const CReverseGuard&) = delete;

private:
    Lockable& _lock;
};

} // namespace osk
