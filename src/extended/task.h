#pragma once

#include <ace/Task.h>
#include <ace/Thread_Manager.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "extended/exception.h"
#include "extended/i_task.h"
#include "standard/atomic_long.h"
#include "standard/mr_event.h"
#include "standard/nr_mutex.h"

namespace osk {

namespace task_texts {
inline const char* const kModule = "extended";
inline const char* const kStartFailed = "Failed to start task.";
inline const char* const kAlreadyRunning = "Task is already running.";
inline const char* const kNoThreads = "The task has no threads.";
inline const char* const kSpawnFailed = "Cannot create the task's threads.";
inline const char* const kNoIndex = "Failed to find index for thread %1 in task '%2'.";
inline const char* const kNoSuchIndex = "No such index.";
} // namespace task_texts

// A task: a named object with a fixed number of threads of its own, managed by
// its own ACE thread manager. The first thread to start runs _init() and its
// result decides whether the task runs; every thread then runs _daemon().
template <class Synch = ACE_NULL_SYNCH>
class CTask : public CITask, public ACE_Task<Synch> {
public:
    CTask(const std::string& name, uint64_t threadCount)
        : _threadCount(threadCount),
          _threadIds(new std::atomic<pthread_t>[threadCount ? threadCount : 1]),
          _name(name)
    {
        for (uint64_t i = 0; i < threadCount; ++i) _threadIds[i].store(0);
        this->thr_mgr(&_threadManager);
    }
    ~CTask() override = default;
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    // Starts the threads and waits until the first one has run _init().
    // Returns 0 when the task runs; otherwise joins the threads and returns
    // the non-zero _init() result.
    int run() override
    {
        if (_running.load())
            throw OSK_EXCEPTION(CMessage(task_texts::kStartFailed), CMessage(task_texts::kAlreadyRunning),
                                "CTask::run", task_texts::kModule);
        if (_threadCount == 0)
            throw OSK_EXCEPTION(CMessage(task_texts::kStartFailed), CMessage(task_texts::kNoThreads),
                                "CTask::run", task_texts::kModule);
        // A failed spawn that left no thread behind would never signal the
        // init-done event.
        if (_activate() == -1 && this->thr_count() == 0)
            throw OSK_EXCEPTION(CMessage(task_texts::kStartFailed), CMessage(task_texts::kSpawnFailed),
                                "CTask::run", task_texts::kModule);
        _initDone.wait();
        const int result = _retcode.load();
        if (result == 0) return 0;
        ACE_Task_Base::wait();
        return result;
    }

    int shutdown() override = 0;
    int retcode() const override { return _retcode.load(); }

    const std::string& name() const { return _name; }
    uint64_t threadCount() const { return _threadCount; }
    bool running() const { return _running.load(); }

protected:
    // Per-task start-up, run by each thread in turn; only the first thread's
    // result counts.
    virtual int _init() { return 0; }
    virtual int _daemon() = 0;

    // The body of every thread of the task.
    int svc() override
    {
        _startLock.lock();
        if (_retcode.load() != 0) {
            _startLock.unlock();
            return 0;
        }
        long index = -1;
        int result = 0;
        try {
            _threadStart();
            index = _threadCounter.value();
            result = _init();
        } catch (...) {
            // An escaping exception would end the process; a throwing start-up
            // counts as a failed one.
            index = _threadCounter.value();
            result = -1;
        }
        if (index == 0) _retcode.store(result);
        // The running flag is set before run() is released, so a second run()
        // right after a successful one reliably sees it.
        const bool started = _retcode.load() == 0;
        if (started) _running.store(true);
        _initDone.signal();
        if (started) {
            _startLock.unlock();
            const int daemonResult = _daemon();
            _threadExit();
            return daemonResult;
        }
        _threadExit();
        _startLock.unlock();
        return 0;
    }

    // Numbers the calling thread: the first thread to start gets index 0.
    virtual void _threadStart()
    {
        const long index = _threadCounter.increment();
        if (index >= 0 && static_cast<uint64_t>(index) < _threadCount) _threadIds[index].store(pthread_self());
    }
    virtual void _threadExit() {}
    virtual int _activate()
    {
        return this->activate(THR_NEW_LWP | THR_JOINABLE | THR_INHERIT_SCHED, static_cast<int>(_threadCount), 0,
                              ACE_DEFAULT_THREAD_PRIORITY);
    }

    // Position of the thread in the thread-id table.
    size_t _threadIndex(pthread_t tid) const
    {
        for (uint64_t i = 0; i < _threadCount; ++i)
            if (_threadIds[i].load() == tid) return static_cast<size_t>(i);
        throw OSK_EXCEPTION(
            CMessage(task_texts::kNoIndex).push(static_cast<uint64_t>(tid)).pushs(_name),
            CMessage(task_texts::kNoSuchIndex), "CTask::threadIndex", task_texts::kModule);
    }

    ACE_Thread_Manager& _threads() { return _threadManager; }

private:
    ACE_Thread_Manager _threadManager{0, 1, 1, 25000};
    uint64_t _threadCount;
    std::atomic<int32_t> _retcode{0};
    CMREvent _initDone;
    CNRMutex _startLock;
    std::atomic<bool> _running{false};
    std::unique_ptr<std::atomic<pthread_t>[]> _threadIds;
    CAtomicLong _threadCounter{-1};
    std::string _name;
};

} // namespace osk
