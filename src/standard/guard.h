#pragma once

namespace osk {

// Scoped lock over any lockable with lock()/unlock().
template <class Lockable>
class CGuard {
public:
    explicit CGuard(Lockable& lock) : _lock(lock) { _lock.lock(); }
    ~CGuard() { _lock.unlock(); }
    CGuard(const CGuard&) = delete;
    CGuard& operator=(const CGuard&) = delete;

private:
    Lockable& _lock;
};

} // namespace osk
