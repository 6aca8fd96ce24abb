#pragma once

#include <ace/Countdown_Time.h>
#include <ace/Event_Handler.h>
#include <ace/Guard_T.h>
#include <ace/Lock_Adapter_T.h>
#include <ace/OS_NS_Thread.h>
#include <ace/Reactor.h>
#include <ace/Sig_Handler.h>
#include <ace/Signal.h>
#include <ace/Thread.h>
#include <ace/Time_Value.h>
#include <ace/Timer_Queue.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "ace_ext/reactor_errors.h"

namespace osk {

// The glue of a reactor: holds the registration, wait and dispatch policies,
// runs the event loop and offers every ACE_Reactor_Impl operation under its
// ACE name (CGeneralReactor forwards to them) on top of the handler-level
// operations registerHandler, applyMask, suspendHandlers, resumeHandlers,
// scheduleTimer, resetTimerInterval, cancelTimer, openNotify, closeNotify and
// checkHandles.
//
// Operations that make no sense for a select()-based reactor on Linux
// (Windows event handles, per-handler notifications, ready_ops) fail with -1
// and errno ENOTSUP.
template <class Wait, class Registration, class Dispatch>
class CReactorImplPolicy {
public:
    using registration_t = Registration;
    using token_t = typename Registration::token_t;
    using handler_ptr_t = typename Registration::handler_ptr_t;
    using handle_set_ptr_t = typename Registration::handle_set_ptr_t;

    CReactorImplPolicy() : _wait(_registration), _dispatch(_registration), _lock(_registration.token()) {}
    ~CReactorImplPolicy() { close(); }
    CReactorImplPolicy(const CReactorImplPolicy&) = delete;
    CReactorImplPolicy& operator=(const CReactorImplPolicy&) = delete;

    // The ACE_Reactor through which the notification channel registers.
    void front(ACE_Reactor* reactor) { _front = reactor; }
    ACE_Reactor* front() const { return _front; }
    Registration& registration() { return _registration; }

    // ---- handler-level operations ---------------------------------------
    int registerHandler(ACE_HANDLE handle, ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return _registration.bind(handle, handler, mask);
    }
    int removeHandler(ACE_HANDLE handle, ACE_Reactor_Mask mask) { return _registration.unbind(handle, mask); }
    int applyMask(ACE_HANDLE handle, ACE_Reactor_Mask mask, int ops)
    {
        return _registration.applyMask(handle, mask, ops);
    }
    // Suspends or resumes every handle but the notification channel's.
    int suspendHandlers()
    {
        ACE_Guard<token_t> guard(_registration.token());
        for (ACE_HANDLE handle : _registration.handles())
            if (handle != _registration.notifyHandle()) _registration.suspend(handle);
        return 0;
    }
    int resumeHandlers()
    {
        ACE_Guard<token_t> guard(_registration.token());
        for (ACE_HANDLE handle : _registration.handles()) _registration.resume(handle);
        return 0;
    }
    long scheduleTimer(ACE_Event_Handler* handler, const void* arg, const ACE_Time_Value& delay,
                       const ACE_Time_Value& interval)
    {
        ACE_Guard<token_t> guard(_registration.token());
        auto queue = _registration.getTimerQueue();
        if (!handler || !queue) {
            errno = !handler ? EINVAL : ESHUTDOWN;
            return -1;
        }
        const long id = queue->schedule(handler, arg, queue->gettimeofday() + delay, interval);
        _registration.wake();
        return id;
    }
    int resetTimerInterval(long timerId, const ACE_Time_Value& interval)
    {
        ACE_Guard<token_t> guard(_registration.token());
        auto queue = _registration.getTimerQueue();
        if (!queue) return -1;
        const int result = queue->reset_interval(timerId, interval);
        _registration.wake();
        return result;
    }
    int cancelTimer(ACE_Event_Handler* handler, int dontCallHandleClose)
    {
        ACE_Guard<token_t> guard(_registration.token());
        auto queue = _registration.getTimerQueue();
        if (!queue || !handler) return 0;
        return queue->cancel(handler, dontCallHandleClose);
    }
    int cancelTimer(long timerId, const void** arg, int dontCallHandleClose)
    {
        ACE_Guard<token_t> guard(_registration.token());
        auto queue = _registration.getTimerQueue();
        if (!queue) return 0;
        return queue->cancel(timerId, arg, dontCallHandleClose);
    }
    void openNotify() { _registration.openNotify(_front); }
    void closeNotify() { _registration.closeNotify(); }
    // Removes every registration whose handle is no longer a valid
    // descriptor (select() then fails with EBADF for all of them). Returns
    // the number removed.
    int checkHandles()
    {
        ACE_Guard<token_t> guard(_registration.token());
        int removed = 0;
        for (ACE_HANDLE handle : _registration.handles()) {
            if (::fcntl(handle, F_GETFL) == -1 && errno == EBADF) {
                _registration.unbind(handle, ACE_Event_Handler::ALL_EVENTS_MASK);
                ++removed;
            }
        }
        return removed;
    }

    // ---- lifecycle ------------------------------------------------------
    int open(size_t size, bool restart, ACE_Sig_Handler* sigHandler, ACE_Timer_Queue* timerQueue,
             int disableNotifyPipe, ACE_Reactor_Notify* notify)
    {
        if (notify) {
            errno = ENOTSUP;
            return -1;
        }
        const int result = _registration.open(_front, size, sigHandler, timerQueue, disableNotifyPipe == 0);
        if (result == 0) {
            _restart = restart;
            _deactivated = false;
            _owner = ACE_Thread::self();
        }
        return result;
    }
    int close() { return _registration.close(); }
    bool initialized() { return _registration.isOpen(); }
    size_t size() const { return _registration.size(); }
    int current_info(ACE_HANDLE, size_t&) { return _unsupported(); }
    int set_sig_handler(ACE_Sig_Handler* sigHandler) { return _registration.setSigHandler(sigHandler); }
    int timer_queue(ACE_Timer_Queue* timerQueue) { return _registration.setTimerQueue(timerQueue); }
    ACE_Timer_Queue* timer_queue() const { return _registration.getTimerQueue().get(); }

    // ---- event loop -----------------------------------------------------
    // Returns the number of events waiting (ready handles and due timers)
    // after waiting at most maxWait, without dispatching them.
    int work_pending(const ACE_Time_Value& maxWait)
    {
        ACE_Guard<token_t> guard(_registration.token());
        if (!_registration.isOpen() || _deactivated) return -1;
        CReactorHandleSet probe;
        probe.copyAllHandles(_registration.waitSet());
        const int width = probe.width();
        if (width <= 0) return -1;
        ACE_Time_Value limit = maxWait;
        ACE_Time_Value timerWait;
        ACE_Time_Value* timeout = _registration.getTimerQueue()->calculate_timeout(&limit, &timerWait);
        int ready = 0;
        {
            CTokenRelease release(_registration.token());
            ready = _wait.wait(probe, width, timeout);
        }
        if (ready < 0) return -1;
        return ready + _registration.countExpired(_registration.getTimerQueue()->gettimeofday());
    }

    // One turn of the event loop. Waits at most maxWait (forever when null)
    // and lowers it by the time spent. Returns the number of handlers
    // called, 0 when the wait timed out, -1 on failure or when nothing can
    // be waited on.
    int handle_events(ACE_Time_Value* maxWait)
    {
        ACE_Countdown_Time countdown(maxWait);
        // One turn at a time: a turn releases the token while it waits, and
        // the ready set it waits on is the registration's one set. A second
        // thread preparing the set while the first one's select() writes its
        // result into it would wait on a stale, partial set (missing the
        // notification channel, it could sleep forever).
        std::unique_lock<std::timed_mutex> turn(_turn, std::defer_lock);
        if (!maxWait) {
            turn.lock();
        } else if (!turn.try_lock_for(std::chrono::microseconds(maxWait->usec() + maxWait->sec() * 1000000LL))) {
            return 0;
        }
        countdown.update();
        ACE_Guard<token_t> guard(_registration.token());
        if (!_registration.isOpen() || _deactivated) {
            errno = ESHUTDOWN;
            return -1;
        }
        CLoopMark mark(_registration);
        for (;;) {
            const int result = _handleEventsI(maxWait);
            if (result != _restartTurn) return result;
            countdown.update();
        }
    }
    int handle_events(ACE_Time_Value& maxWait) { return handle_events(&maxWait); }
    int alertable_handle_events(ACE_Time_Value* maxWait) { return handle_events(maxWait); }
    int alertable_handle_events(ACE_Time_Value& maxWait) { return handle_events(&maxWait); }
    int deactivated() { return _deactivated ? 1 : 0; }
    void deactivate(int doStop)
    {
        _deactivated = doStop != 0;
        if (_deactivated) wakeup_all_threads();
    }

    // ---- handlers -------------------------------------------------------
    int register_handler(ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return registerHandler(ACE_INVALID_HANDLE, handler, mask);
    }
    int register_handler(ACE_HANDLE handle, ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return registerHandler(handle, handler, mask);
    }
    int register_handler(ACE_HANDLE, ACE_HANDLE, ACE_Event_Handler*, ACE_Reactor_Mask) { return _unsupported(); }
    int register_handler(const ACE_Handle_Set& handles, ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return _forEach(handles, [&](ACE_HANDLE handle) { return registerHandler(handle, handler, mask); });
    }
    int register_handler(int signum, ACE_Event_Handler* handler, ACE_Sig_Action* newDisp,
                         ACE_Event_Handler** oldHandler, ACE_Sig_Action* oldDisp)
    {
        ACE_Sig_Handler* signals = _registration.sigHandler();
        if (!signals) return -1;
        return signals->register_handler(signum, handler, newDisp, oldHandler, oldDisp);
    }
    int register_handler(const ACE_Sig_Set& sigset, ACE_Event_Handler* handler, ACE_Sig_Action* newDisp)
    {
        int result = 0;
        for (int signum = 1; signum < ACE_NSIG; ++signum)
            if (sigset.is_member(signum) && register_handler(signum, handler, newDisp, nullptr, nullptr) == -1)
                result = -1;
        return result;
    }
    int remove_handler(ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        if (!handler) {
            errno = EINVAL;
            return -1;
        }
        return removeHandler(handler->get_handle(), mask);
    }
    int remove_handler(ACE_HANDLE handle, ACE_Reactor_Mask mask) { return removeHandler(handle, mask); }
    int remove_handler(const ACE_Handle_Set& handles, ACE_Reactor_Mask mask)
    {
        return _forEach(handles, [&](ACE_HANDLE handle) { return removeHandler(handle, mask); });
    }
    int remove_handler(int signum, ACE_Sig_Action* newDisp, ACE_Sig_Action* oldDisp, int sigkey)
    {
        ACE_Sig_Handler* signals = _registration.sigHandler();
        if (!signals) return -1;
        return signals->remove_handler(signum, newDisp, oldDisp, sigkey);
    }
    int remove_handler(const ACE_Sig_Set& sigset)
    {
        int result = 0;
        for (int signum = 1; signum < ACE_NSIG; ++signum)
            if (sigset.is_member(signum) && remove_handler(signum, nullptr, nullptr, -1) == -1) result = -1;
        return result;
    }

    int suspend_handler(ACE_Event_Handler* handler)
    {
        return handler ? _registration.suspend(handler->get_handle()) : (errno = EINVAL, -1);
    }
    int suspend_handler(ACE_HANDLE handle) { return _registration.suspend(handle); }
    int suspend_handler(const ACE_Handle_Set& handles)
    {
        return _forEach(handles, [&](ACE_HANDLE handle) { return _registration.suspend(handle); });
    }
    int suspend_handlers() { return suspendHandlers(); }
    int resume_handler(ACE_Event_Handler* handler)
    {
        return handler ? _registration.resume(handler->get_handle()) : (errno = EINVAL, -1);
    }
    int resume_handler(ACE_HANDLE handle) { return _registration.resume(handle); }
    int resume_handler(const ACE_Handle_Set& handles)
    {
        return _forEach(handles, [&](ACE_HANDLE handle) { return _registration.resume(handle); });
    }
    int resume_handlers() { return resumeHandlers(); }
    int resumable_handler() { return 0; }
    bool uses_event_associations() { return false; }

    // ---- timers ---------------------------------------------------------
    long schedule_timer(ACE_Event_Handler* handler, const void* arg, const ACE_Time_Value& delay,
                        const ACE_Time_Value& interval)
    {
        return scheduleTimer(handler, arg, delay, interval);
    }
    int reset_timer_interval(long timerId, const ACE_Time_Value& interval)
    {
        return resetTimerInterval(timerId, interval);
    }
    int cancel_timer(ACE_Event_Handler* handler, int dontCallHandleClose)
    {
        return cancelTimer(handler, dontCallHandleClose);
    }
    int cancel_timer(long timerId, const void** arg, int dontCallHandleClose)
    {
        return cancelTimer(timerId, arg, dontCallHandleClose);
    }

    // ---- masks ----------------------------------------------------------
    int schedule_wakeup(ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return mask_ops(handler, mask, ACE_Reactor::ADD_MASK);
    }
    int schedule_wakeup(ACE_HANDLE handle, ACE_Reactor_Mask mask)
    {
        return mask_ops(handle, mask, ACE_Reactor::ADD_MASK);
    }
    int cancel_wakeup(ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        return mask_ops(handler, mask, ACE_Reactor::CLR_MASK);
    }
    int cancel_wakeup(ACE_HANDLE handle, ACE_Reactor_Mask mask) { return mask_ops(handle, mask, ACE_Reactor::CLR_MASK); }
    int mask_ops(ACE_Event_Handler* handler, ACE_Reactor_Mask mask, int ops)
    {
        return handler ? applyMask(handler->get_handle(), mask, ops) : (errno = EINVAL, -1);
    }
    int mask_ops(ACE_HANDLE handle, ACE_Reactor_Mask mask, int ops) { return applyMask(handle, mask, ops); }
    int ready_ops(ACE_Event_Handler*, ACE_Reactor_Mask, int) { return _unsupported(); }
    int ready_ops(ACE_HANDLE, ACE_Reactor_Mask, int) { return _unsupported(); }

    // ---- notification ---------------------------------------------------
    // Wakes the loop. The channel carries only wake-ups: a notification for
    // a specific handler is refused with an exception, and a full channel
    // throws CExNotifyFull.
    int notify(ACE_Event_Handler* handler, ACE_Reactor_Mask, ACE_Time_Value*)
    {
        if (handler) throwReactorNotifyHandler("CGeneralReactor::notify");
        _registration.notify();
        return 0;
    }
    void max_notify_iterations(int iterations) { _maxNotifyIterations = iterations; }
    int max_notify_iterations() { return _maxNotifyIterations; }
    // Nothing handler-specific is ever queued.
    int purge_pending_notifications(ACE_Event_Handler*, ACE_Reactor_Mask) { return 0; }
    void wakeup_all_threads()
    {
        try {
            _registration.notify();
        } catch (const CException&) {
            // A full channel wakes the loop anyway; a closed reactor has no loop.
        }
    }

    // ---- queries --------------------------------------------------------
    // Like ACE's reactors, a found handler gains a reference (a no-op unless
    // it counts references).
    ACE_Event_Handler* find_handler(ACE_HANDLE handle)
    {
        handler_ptr_t handler = _registration.find(handle);
        if (!handler) return nullptr;
        handler.get()->add_reference();
        return handler.get();
    }
    int handler(ACE_HANDLE handle, ACE_Reactor_Mask mask, ACE_Event_Handler** handler)
    {
        ACE_Guard<token_t> guard(_registration.token());
        const auto* entry = _registration.findIt(handle);
        const ACE_Reactor_Mask bits = CReactorBaseHandleSet::selectBits(mask);
        if (!entry || (entry->mask & bits) != bits) return -1;
        if (handler) {
            *handler = entry->handler.get();
            (*handler)->add_reference();
        }
        return 0;
    }
    int handler(int signum, ACE_Event_Handler** handler)
    {
        ACE_Sig_Handler* signals = _registration.sigHandler();
        ACE_Event_Handler* found = signals ? signals->handler(signum) : nullptr;
        if (handler) *handler = found;
        return found ? 0 : -1;
    }
    ACE_Lock& lock() { return _lock; }
    int owner(ACE_thread_t newOwner, ACE_thread_t* oldOwner)
    {
        const ACE_thread_t previous = _owner.exchange(newOwner);
        if (oldOwner) *oldOwner = previous;
        return 0;
    }
    int owner(ACE_thread_t* owner)
    {
        if (owner) *owner = _owner.load();
        return 0;
    }
    bool restart() { return _restart; }
    bool restart(bool value)
    {
        const bool old = _restart;
        _restart = value;
        return old;
    }
    void requeue_position(int position) { _requeuePosition = position; }
    int requeue_position() { return _requeuePosition; }
    void dump() const {}

private:
    // Releases the (recursive) token for the scope of a wait and takes it
    // back afterwards.
    class CTokenRelease {
    public:
        explicit CTokenRelease(token_t& token) : _token(token) { _token.release(); }
        ~CTokenRelease() { _token.acquire(); }
        CTokenRelease(const CTokenRelease&) = delete;
        CTokenRelease& operator=(const CTokenRelease&) = delete;

    private:
        token_t& _token;
    };
    // Marks the registration as being waited on for the scope of a turn.
    class CLoopMark {
    public:
        explicit CLoopMark(Registration& registration) : _registration(registration) { _registration.enterLoop(); }
        ~CLoopMark() { _registration.leaveLoop(); }
        CLoopMark(const CLoopMark&) = delete;
        CLoopMark& operator=(const CLoopMark&) = delete;

    private:
        Registration& _registration;
    };

    static constexpr int _restartTurn = -2;

    static int _unsupported()
    {
        errno = ENOTSUP;
        return -1;
    }
    template <class Op>
    static int _forEach(const ACE_Handle_Set& handles, Op op)
    {
        int result = 0;
        ACE_Handle_Set_Iterator it(handles);
        for (ACE_HANDLE handle; (handle = it()) != ACE_INVALID_HANDLE;)
            if (op(handle) == -1) result = -1;
        return result;
    }

    // One turn; called with the token held. Returns _restartTurn when an
    // interrupted wait is to be repeated.
    int _handleEventsI(ACE_Time_Value* maxWait)
    {
        handle_set_ptr_t ready = _registration.createHandleSetPtr();
        auto queue = _registration.getTimerQueue();
        ACE_Time_Value timerWait;
        ACE_Time_Value* timeout = queue->calculate_timeout(maxWait, &timerWait);
        const int width = ready->width();
        if (width <= 0) {
            ready->reset();
            return -1;
        }
        int count = 0;
        {
            CTokenRelease release(_registration.token());
            count = _wait.wait(*ready.get(), width, timeout);
        }
        if (count < 0 && errno == EINTR && ACE_Sig_Handler::sig_pending() != 0) {
            // A signal handler has run: clear the flag and look again at what
            // is ready now, without waiting.
            ACE_Sig_Handler::sig_pending(0);
            ready = _registration.createHandleSetPtr();
            ACE_Time_Value noWait = ACE_Time_Value::zero;
            count = _wait.wait(*ready.get(), width, &noWait);
        }
        if (count < 0) {
            const int err = errno;
            ready->reset();
            if (err == EINTR && _restart) return _restartTurn;
            if (err == EBADF) checkHandles();
            errno = err;
            return -1;
        }
        count += _registration.expiredTimers(queue->gettimeofday());
        ready->synchSize(width - 1);
        if (count <= 0) return count == 0 ? 0 : -1;
        return _dispatch.dispatch(count);
    }

    Registration _registration;
    Wait _wait;
    Dispatch _dispatch;
    ACE_Lock_Adapter<token_t> _lock;
    ACE_Reactor* _front = nullptr;
    bool _restart = false;
    std::atomic<bool> _deactivated{false};
    std::timed_mutex _turn;
    int _maxNotifyIterations = -1;
    int _requeuePosition = -1;
    // Every thread of a task that shares the reactor claims it before each
    // turn, so the owner is written from several threads at once.
    std::atomic<ACE_thread_t> _owner{};
};

} // namespace osk
