#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <firebird/Interface.h>

#include "extended/message.h"

namespace fbprov {

// Bounds how long one call to the database (starting a transaction, a
// statement, a fetch of rows, a commit) may go unanswered. A call that has
// not returned after `limit` is cancelled (fb_cancel_raise): a slow
// statement then fails with "operation was cancelled" and the connection
// stays. A call that has still not returned `grace` later has its
// connection closed (fb_cancel_abort): a server that stopped answering, or
// a network that drops every packet, would otherwise hold the caller until
// TCP gives up a quarter of an hour later, and the caller may be the
// thread that serves every transfer. The next transaction then finds the
// connection lost and opens a new one.
//
// Its own thread sleeps until the earliest due action, so a watched call
// costs a lock and two list operations.
class CFbCallWatchdog {
public:
    using log_t = std::function<void(uint32_t severity, const osk::CMessage& message)>;
    static constexpr std::chrono::milliseconds defaultGrace{2000};

    // location names the database in the log lines.
    CFbCallWatchdog(std::chrono::milliseconds limit, std::string location,
                    std::chrono::milliseconds grace = defaultGrace);
    // Stops the thread; no call may still be watched.
    ~CFbCallWatchdog();
    CFbCallWatchdog(const CFbCallWatchdog&) = delete;
    CFbCallWatchdog& operator=(const CFbCallWatchdog&) = delete;

    std::chrono::milliseconds limit() const { return _limit; }
    // Where cancellations are reported; nowhere until set. Once logTo
    // returns, the previous target is no longer called.
    void logTo(log_t log);
    // Calls cancelled, and connections closed, so far.
    uint64_t cancelled() const;
    uint64_t aborted() const;

    // Watches one call on attachment for its lifetime; with no watchdog it
    // watches nothing. The attachment must outlive the watch.
    class CWatch {
    public:
        CWatch(CFbCallWatchdog* watchdog, Firebird::IAttachment* attachment);
        ~CWatch();
        CWatch(const CWatch&) = delete;
        CWatch& operator=(const CWatch&) = delete;

    private:
        friend class CFbCallWatchdog;
        enum stage_t { running, cancelling, aborted };

        CFbCallWatchdog* _watchdog;
        Firebird::IAttachment* _attachment;
        std::chrono::steady_clock::time_point _due;
        stage_t _stage = running;
        CWatch* _previous = nullptr;
        CWatch* _next = nullptr;
    };

private:
    void _watch(CWatch& watch);
    void _unwatch(CWatch& watch);
    void _run();
    // Takes the next step on a watch that is due; returns the severity and
    // the text to log.
    std::pair<uint32_t, osk::CMessage> _act(CWatch& watch);

    const std::chrono::milliseconds _limit;
    const std::chrono::milliseconds _grace;
    const std::string _location;
    // Held while the target is called, so that logTo can retire it.
    std::mutex _logMutex;
    log_t _log;
    mutable std::mutex _mutex;
    std::condition_variable _wake;
    CWatch* _first = nullptr;
    // When the thread wakes next by itself (max while it waits for a call).
    std::chrono::steady_clock::time_point _nextWake = std::chrono::steady_clock::time_point::max();
    bool _stopping = false;
    uint64_t _cancelled = 0;
    uint64_t _aborted = 0;
    std::thread _thread;
};

} // namespace fbprov
