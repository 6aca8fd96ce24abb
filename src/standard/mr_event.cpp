#include "standard/mr_event.h"

namespace osk {

void CMREvent::signal()
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _signalled = true;
    }
    _changed.notify_all();
}

void CMREvent::reset()
{
    std::lock_guard<std::mutex> lock(_mutex);
    _signalled = false;
}

bool CMREvent::signalled() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _signalled;
}

void CMREvent::wait() const
{
    std::unique_lock<std::mutex> lock(_mutex);
    _changed.wait(lock, [this] { return _signalled; });
}

bool CMREvent::waitFor(std::chrono::microseconds timeout) const
{
    std::unique_lock<std::mutex> lock(_mutex);
    return _changed.wait_for(lock, timeout, [this] { return _signalled; });
}

} // namespace osk
