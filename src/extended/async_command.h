#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>

#include "standard/general_ptr.h"
#include "standard/mr_event.h"
#include "standard/nr_mutex.h"

namespace osk {

// Base of every command: work posted to a command-queue task and executed on
// one of its threads. A command may be targeted at one thread of the task;
// other threads that meet it become observers that wait until the target has
// executed it. Commands are always held through CGeneralPtr<CAsyncCommand>.
class CAsyncCommand {
public:
    CAsyncCommand(const std::string& name, const std::string& instance);
    virtual ~CAsyncCommand() = default;
    CAsyncCommand(const CAsyncCommand&) = delete;
    CAsyncCommand& operator=(const CAsyncCommand&) = delete;

    // True for a command that must run as soon as it is read, never deferred.
    virtual bool immediateExecution() const { return false; }
    // The work; threadIndex is the executing thread's index in its task.
    virtual void execute(unsigned long threadIndex) = 0;
    // Releases whoever waits for the outcome.
    virtual void signalResult() = 0;

    // Runs the command only on the thread threadId; after ttl offers to other
    // threads it is given up to whichever thread reads it.
    void targetTo(uint64_t threadId, uint32_t ttl);

    // True when the calling thread may take the command: it is not targeted,
    // the caller is the target, or its time to live has run out. Each refusal
    // counts the caller as one more observer.
    bool canExecute();
    bool targetIsMe() const;
    // Called by an observer: leaves the observer count and waits until the
    // target thread has executed the command.
    void blockObserver();
    void releaseObservers();

    uint32_t observerCount() const;
    bool hasObservers() const;
    bool targeted() const;
    uint64_t targetThread() const;
    uint32_t ttl() const;
    const std::string& name() const { return _name; }
    const std::string& instance() const { return _instance; }

private:
    mutable CNRMutex _lock;
    CMREvent _observersReleased;
    bool _targeted = false;
    uint64_t _targetThread = 0;
    uint32_t _ttl = 255;
    bool _hasObservers = false;
    uint32_t _observerCount = 0;
    std::string _name;
    std::string _instance;
};

using CAsyncCommandPtr = CGeneralPtr<CAsyncCommand>;

} // namespace osk
