#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace osk {

// Manual-reset event: once signalled it stays signalled, releasing every
// waiter, until reset.
class CMREvent {
public:
    explicit CMREvent(bool signalled = false) : _signalled(signalled) {}
    CMREvent(const CMREvent&) = delete;
    CMREvent& operator=(const CMREvent&) = delete;

    void signal();
    void reset();
    bool signalled() const;
    void wait() const;
    // Waits at most the given time; true when the event was signalled.
    bool waitFor(std::chrono::microseconds timeout) const;

private:
    mutable std::mutex _mutex;
    mutable std::condition_variable _changed;
    bool _signalled;
};

} // namespace osk
