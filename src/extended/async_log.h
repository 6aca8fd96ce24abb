#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "extended/command_queue_task.h"
#include "extended/exception.h"
#include "extended/log_tls.h"
#include "extended/message.h"
#include "standard/general_ptr.h"
#include "standard/multi_ptr.h"
#include "standard/nr_mutex.h"

namespace osk {

// The logging front end: a command-queue task named "async-log" whose thread
// owns the log targets. Any thread calls syslog(); the entry travels to the
// log thread as a CCmdLogMsg, so the caller never waits for a disk or the
// network. In synchronous mode the caller waits until its entry is written.
//
// Entries from the log thread itself (a target's failure, the messages of
// the configuration) are written at once on that thread: posting them would
// make the thread wait for itself.
class CAsyncLog : public CCommandQueueTask<> {
public:
    static const char* const taskLabel;
    using exception_list_t = std::vector<CGeneralPtr<CException>>;

    explicit CAsyncLog(CMasterController* controller);
    ~CAsyncLog() override;

    // Posts one entry. Dropped after shutdown, before run(), and for debug
    // (verbose) entries while debug (verbose) is not enabled. While the
    // queue is full the caller sleeps 5 microseconds and posts again.
    void syslog(uint32_t severity, const CMessage& message, int errCode = 0);
    // Posts recorded exceptions, each with its own severity, module and
    // system error number.
    void syslog(const exception_list_t& exceptions);

    bool verboseEnabled() const { return _verbose.load(); }
    bool debugEnabled() const { return _debug.load(); }
    bool synchronous() const { return _synchronous.load(); }
    // Switches the mode and logs which mode the logger is now in.
    void synchronous(bool value);
    std::string processName() const;

    // Reconfigures the targets from the controller's configuration and sets
    // the mode from "system.log.synchronous". A configuration that cannot be
    // applied (an unknown target or level name) is thrown to the caller.
    void refresh();

    // Adds or removes a target of the caller's own; it survives refresh().
    void registerTarget(const CLogTLS::target_ptr_t& target);
    void deregisterTarget(const CLogTLS::target_ptr_t& target);

    // The configurable target names with their descriptions.
    static std::vector<std::pair<std::string, std::string>> getAvailableTargets();

    // Returns when every entry posted before the call has been written.
    void waitUntilWritten();

    // Writes what is queued, then stops the log thread. Entries posted
    // afterwards are dropped.
    int shutdown() override;

    // ---- used by the log commands on the log thread ----------------------
    // The calling log thread's state, created on first use.
    CLogTLS& tls();
    bool isLogThread() const { return pthread_equal(pthread_self(), _logThread.load()) != 0; }
    // Records the levels of a new configuration for the callers' filters.
    void _levelsChanged(uint32_t mask);

protected:
    void _threadStart() override;
    void _threadExit() override;

private:
    bool _post(const CGeneralPtr<CAsyncCommand>& command);
    void _postAndWait(CAsyncCommand* command, bool* done);

    CMultiPtr<CLogTLS*, CNRMutex> _tls;
    std::atomic<pthread_t> _logThread{0};
    std::atomic<bool> _synchronous{false};
    std::atomic<bool> _debug{true};
    std::atomic<bool> _verbose{false};
    std::atomic<bool> _shutdown{false};
};

} // namespace osk
