#include "firebird_provider/fb_call_watchdog.h"

#include <ibase.h>

#include <utility>
#include <vector>

#include "extended/exception.h"
#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_status.h"

namespace fbprov {

namespace {

using clock_type = std::chrono::steady_clock;

} // namespace

CFbCallWatchdog::CFbCallWatchdog(std::chrono::milliseconds limit, std::string location,
                                 std::chrono::milliseconds grace)
    : _limit(limit), _grace(grace), _location(std::move(location)), _thread([this] { _run(); })
{
}

CFbCallWatchdog::~CFbCallWatchdog()
{
    {
        std::lock_guard<std::mutex> guard(_mutex);
        _stopping = true;
    }
    _wake.notify_one();
    _thread.join();
}

void CFbCallWatchdog::logTo(log_t log)
{
    std::lock_guard<std::mutex> guard(_logMutex);
    _log = std::move(log);
}

uint64_t CFbCallWatchdog::cancelled() const
{
    std::lock_guard<std::mutex> guard(_mutex);
    return _cancelled;
}

uint64_t CFbCallWatchdog::aborted() const
{
    std::lock_guard<std::mutex> guard(_mutex);
    return _aborted;
}

void CFbCallWatchdog::_watch(CWatch& watch)
{
    bool sooner = false;
    {
        std::lock_guard<std::mutex> guard(_mutex);
        watch._due = clock_type::now() + _limit;
        watch._next = _first;
        if (_first) _first->_previous = &watch;
        _first = &watch;
        sooner = watch._due < _nextWake;
        if (sooner) _nextWake = watch._due;
    }
    // Only a call due before the thread would wake anyway wakes it: one
    // call after another, each shorter than the limit, leaves it asleep.
    if (sooner) _wake.notify_one();
}

void CFbCallWatchdog::_unwatch(CWatch& watch)
{
    std::lock_guard<std::mutex> guard(_mutex);
    if (watch._previous) watch._previous->_next = watch._next;
    else _first = watch._next;
    if (watch._next) watch._next->_previous = watch._previous;
}

std::pair<uint32_t, osk::CMessage> CFbCallWatchdog::_act(CWatch& watch)
{
    CFbStatus status;
    if (watch._stage == CWatch::running) {
        // A call that returned just now (its watch waits for this lock)
        // may leave the cancellation to the attachment's next call, which
        // then fails with "operation was cancelled": a rare failure, where
        // not cancelling would leave a held call held.
        watch._attachment->cancelOperation(status.get(), fb_cancel_raise);
        watch._stage = CWatch::cancelling;
        watch._due += _grace;
        ++_cancelled;
        return {osk::CException::warning,
                osk::CMessage("A call to the database '%1' was not answered in %2 ms; it is cancelled.",
                              CFbError::module)
                    .pushs(_location)
                    .pushs(std::to_string(_limit.count()))};
    }
    watch._attachment->cancelOperation(status.get(), fb_cancel_abort);
    watch._stage = CWatch::aborted;
    ++_aborted;
    return {osk::CException::error,
            osk::CMessage("A call to the database '%1' was not answered in %2 ms, nor its cancellation in %3 ms; "
                          "its connection is closed, and the next transaction opens a new one.", CFbError::module)
                .pushs(_location)
                .pushs(std::to_string(_limit.count()))
                .pushs(std::to_string(_grace.count()))};
}

void CFbCallWatchdog::_run()
{
    std::unique_lock<std::mutex> lock(_mutex);
    while (!_stopping) {
        const clock_type::time_point now = clock_type::now();
        std::vector<std::pair<uint32_t, osk::CMessage>> lines;
        clock_type::time_point next = clock_type::time_point::max();
        for (CWatch* watch = _first; watch; watch = watch->_next) {
            if (watch->_stage == CWatch::aborted) continue;
            if (watch->_due <= now) lines.push_back(_act(*watch));
            if (watch->_stage != CWatch::aborted && watch->_due < next) next = watch->_due;
        }
        _nextWake = next;
        if (!lines.empty()) {
            // The log may take locks of its own: not under ours.
            lock.unlock();
            {
                std::lock_guard<std::mutex> guard(_logMutex);
                if (_log)
                    for (const auto& line : lines) _log(line.first, line.second);
            }
            lock.lock();
            continue;
        }
        if (next == clock_type::time_point::max()) _wake.wait(lock);
        else _wake.wait_until(lock, next);
    }
}

CFbCallWatchdog::CWatch::CWatch(CFbCallWatchdog* watchdog, Firebird::IAttachment* attachment)
    : _watchdog(watchdog), _attachment(attachment)
{
    if (_watchdog) _watchdog->_watch(*this);
}

CFbCallWatchdog::CWatch::~CWatch()
{
    if (_watchdog) _watchdog->_unwatch(*this);
}

} // namespace fbprov
