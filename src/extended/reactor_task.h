#pragma once

#include <ace/ACE.h>
#include <ace/OS_NS_sys_time.h>
#include <ace/Reactor.h>
#include <ace/Thread.h>

#include <atomic>
#include <memory>

#include "ace_ext/ex_notify_full.h"
#include "ace_ext/general_reactor_types.h"
#include "extended/task.h"

namespace osk {

// A task whose threads pump a reactor of the task's own. Reactor is the
// reactor implementation (an ACE_Reactor_Impl); the task wraps it in an
// ACE_Reactor that deletes it. The default is the policy-based reactor whose
// registrations are guarded, since all threads of a task share it and other
// threads register handlers with it.
template <class Reactor = CMTReactor>
class CReactorTask : public CTask<ACE_NULL_SYNCH> {
public:
    CReactorTask(const std::string& name, uint64_t threadCount)
        : CTask<ACE_NULL_SYNCH>(name, threadCount), _reactor(new ACE_Reactor(_createImpl(), true))
    {
        this->reactor(_reactor.get());
    }
    ~CReactorTask() override = default;

    // Sets the stop flag and wakes every running thread until all of them
    // have ended, joining them in 2-second slices.
    int shutdown() override
    {
        _stop.store(true);
        ACE_Reactor* taskReactor = this->reactor();
        if (taskReactor && this->threadCount() != 0) {
            size_t running = this->thr_count();
            while (running != 0) {
                for (size_t i = 0; i < running; ++i) {
                    try {
                        taskReactor->notify(nullptr, ACE_Event_Handler::EXCEPT_MASK);
                    } catch (const CExNotifyFull&) {
                        // A full channel already holds enough wake-ups.
                    }
                }
                const ACE_Time_Value deadline = ACE_OS::gettimeofday() + ACE_Time_Value(2);
                this->_threads().wait(&deadline);
                running = this->thr_count();
            }
        }
        return retcode();
    }

    bool stopping() const { return _stop.load(); }

protected:
    int _daemon() override
    {
        _pumpReactor(nullptr);
        return retcode();
    }

    // Runs the reactor on the calling thread until the stop flag is set. All
    // threads of the task share the reactor, so each turn first makes the
    // calling thread its owner.
    virtual void _pumpReactor(ACE_Time_Value* timeout)
    {
        ACE_Reactor* taskReactor = this->reactor();
        while (!_stop.load()) {
            taskReactor->owner(ACE_Thread::self());
            taskReactor->handle_events(timeout);
        }
    }

private:
    static ACE_Reactor_Impl* _createImpl()
    {
        std::unique_ptr<Reactor> impl(new Reactor);
        if (!impl->initialized()) impl->open(ACE::max_handles());
        return impl.release();
    }

    std::atomic<bool> _stop{false};
    std::unique_ptr<ACE_Reactor> _reactor;
};

} // namespace osk
