#pragma once

#include <ace/Event_Handler.h>
#include <ace/Guard_T.h>
#include <ace/OS_NS_Thread.h>
#include <ace/Reactor.h>
#include <ace/Sig_Handler.h>
#include <ace/Thread.h>
#include <ace/Timer_Heap.h>
#include <ace/Timer_Queue.h>
#include <ace/Token.h>
#include <fcntl.h>
#include <sys/select.h>

#include <cerrno>
#include <type_traits>
#include <utility>
#include <vector>

#include "ace_ext/reactor_handle_set_mgr.h"
#include "ace_ext/reactor_notify.h"
#include "standard/general_ptr.h"
#include "standard/guard.h"
#include "standard/tracked_factory.h"

namespace osk {

// Calls a member of the object behind a CGeneralPtr through the pointer's
// proxy, so a method-locked pointer holds its lock for the call.
template <class T>
inline T* reactorRawPointee(T* pointee)
{
    return pointee;
}
template <class T, class Lock>
inline T* reactorRawPointee(const CLockProxy<T, Lock>& proxy)
{
    return proxy.operator->();
}
template <class Ptr, class R, class C, class... Params, class... Args>
inline R reactorCall(const Ptr& ptr, R (C::*member)(Params...), Args&&... args)
{
    auto&& proxy = ptr.operator->();
    return (reactorRawPointee(proxy)->*member)(std::forward<Args>(args)...);
}

// The registrations of a reactor: which handler serves which handle with
// which select mask, which handles are suspended, the timer queue, the signal
// handler and the reactor's own notification channel.
//
// Token chooses the locking. With ACE_Noop_Token only the reactor's thread may
// touch it. With ACE_Token (recursive) other threads may register, remove and
// schedule while the reactor's thread runs its loop; a change made by another
// thread while the loop waits in select() wakes the loop through the
// notification channel so that the next select() sees it.
//
// The pointer arguments are CGeneralPtr shapes over ACE_Event_Handler,
// CReactorHandleSet, ACE_Timer_Queue and CReactorNotify. They never own:
// handlers belong to their creators, the rest to this policy.
template <class Token, class HandlerPtr, class HandleSetPtr, class TimerQueuePtr, class NotifyPtr>
class CReactorRegistrationPolicy {
public:
    using token_t = Token;
    using handler_ptr_t = HandlerPtr;
    using handle_set_ptr_t = HandleSetPtr;
    using timer_queue_ptr_t = TimerQueuePtr;
    using notify_ptr_t = NotifyPtr;
    // True for the variant that other threads may call.
    static constexpr bool shared = !std::is_same<Token, ACE_Noop_Token>::value;

    struct CEntry {
        HandlerPtr handler;
        ACE_Reactor_Mask mask = 0; // select bits
        bool suspended = false;
    };

    CReactorRegistrationPolicy() = default;
    ~CReactorRegistrationPolicy() { close(); }
    CReactorRegistrationPolicy(const CReactorRegistrationPolicy&) = delete;
    CReactorRegistrationPolicy& operator=(const CReactorRegistrationPolicy&) = delete;

    Token& token() { return _token; }

    // Prepares a table for handles below size (at most FD_SETSIZE, select's
    // limit), takes or creates the signal handler and timer queue (a heap),
    // and, when withNotify, opens the notification channel through front.
    // Returns -1 (EBUSY) when already open; a channel failure is thrown.
    int open(ACE_Reactor* front, size_t size, ACE_Sig_Handler* sigHandler, ACE_Timer_Queue* timerQueue,
             bool withNotify)
    {
        ACE_Guard<Token> guard(_token);
        if (_open) {
            errno = EBUSY;
            return -1;
        }
        _size = (size == 0 || size > FD_SETSIZE) ? static_cast<size_t>(FD_SETSIZE) : size;
        _table.assign(_size, CEntry());
        _sets.reset();
        _readyPtr = HandleSetPtr(&_sets.readySet());
        _ownSig = sigHandler == nullptr;
        _sig = _ownSig ? new ACE_Sig_Handler : sigHandler;
        _ownTimerQueue = timerQueue == nullptr;
        _timerQueue = _ownTimerQueue ? new ACE_Timer_Heap : timerQueue;
        _timerQueuePtr = TimerQueuePtr(_timerQueue);
        _notify = CTrackedFactory::create<CReactorNotify>();
        _notifyPtr = NotifyPtr(_notify);
        _open = true;
        if (withNotify) {
            try {
                _notify->open(front);
            } catch (...) {
                close();
                throw;
            }
        }
        return 0;
    }

    // Closes the notification channel, removes every other registration
    // (calling handle_close as ACE does), then deletes the channel and, when
    // this policy created them, the signal handler and the timer queue.
    int close()
    {
        ACE_Guard<Token> guard(_token);
        if (!_open) return 0;
        if (_notify) _notify->close();
        for (size_t handle = 0; handle < _table.size(); ++handle)
            if (_table[handle].handler) unbind(static_cast<ACE_HANDLE>(handle), ACE_Event_Handler::ALL_EVENTS_MASK);
        _notifyPtr = NotifyPtr();
        CTrackedFactory::destroy(_notify);
        _notify = nullptr;
        _timerQueuePtr = TimerQueuePtr();
        if (_ownTimerQueue) delete _timerQueue;
        _timerQueue = nullptr;
        if (_ownSig) delete _sig;
        _sig = nullptr;
        _readyPtr = HandleSetPtr();
        _sets.reset();
        _table.clear();
        _open = false;
        return 0;
    }

    bool isOpen() const { return _open; }
    size_t size() const { return _size; }

    // Registers handler for handle (its get_handle() when invalid) with the
    // event mask. A handle already served by the same handler gains the mask;
    // one served by another handler is refused (EEXIST).
    int bind(ACE_HANDLE handle, ACE_Event_Handler* handler, ACE_Reactor_Mask mask)
    {
        if (!handler) {
            errno = EINVAL;
            return -1;
        }
        ACE_Guard<Token> guard(_token);
        if (!_open) {
            errno = ESHUTDOWN;
            return -1;
        }
        if (handle == ACE_INVALID_HANDLE) handle = handler->get_handle();
        if (!_valid(handle)) {
            errno = EINVAL;
            return -1;
        }
        CEntry& entry = _table[handle];
        if (entry.handler) {
            if (entry.handler.get() != handler) {
                errno = EEXIST;
                return -1;
            }
            entry.mask |= CReactorBaseHandleSet::selectBits(mask);
        } else {
            entry.handler = HandlerPtr(handler);
            entry.mask = CReactorBaseHandleSet::selectBits(mask);
            entry.suspended = false;
            handler->add_reference();
        }
        _setOf(entry).setHandle(handle, entry.mask);
        wake();
        return 0;
    }

    // Removes the event mask from the handle's registration; the handle is
    // forgotten when no mask is left. handle_close(handle, mask) is called
    // unless mask has DONT_CALL. -1 (ENOENT) when the handle is not bound.
    int unbind(ACE_HANDLE handle, ACE_Reactor_Mask mask)
    {
        ACE_Guard<Token> guard(_token);
        HandlerPtr handler;
        bool complete = false;
        if (_unbindPrepare(handle, mask, handler, complete) != 0) return -1;
        _unbindComplete(handle, handler, mask, complete);
        wake();
        return 0;
    }

    // The handler bound to handle, null when none.
    HandlerPtr find(ACE_HANDLE handle)
    {
        ACE_Guard<Token> guard(_token);
        const CEntry* entry = findIt(handle);
        return entry ? entry->handler : HandlerPtr();
    }
    // The registration of handle, null when none. Callers hold the token.
    CEntry* findIt(ACE_HANDLE handle)
    {
        if (!_valid(handle) || !_table[handle].handler) return nullptr;
        return &_table[handle];
    }
    // The handler to call for a handle reported ready in select bit: null when
    // the handle was removed, suspended or lost that mask since the wait.
    HandlerPtr findReady(ACE_HANDLE handle, ACE_Reactor_Mask bit)
    {
        const CEntry* entry = findIt(handle);
        if (!entry || entry->suspended || !(entry->mask & bit)) return HandlerPtr();
        return entry->handler;
    }
    // Every bound handle (a snapshot: callers may unbind while walking it).
    std::vector<ACE_HANDLE> handles() const
    {
        std::vector<ACE_HANDLE> result;
        for (size_t handle = 0; handle < _table.size(); ++handle)
            if (_table[handle].handler) result.push_back(static_cast<ACE_HANDLE>(handle));
        return result;
    }

    // Stops waiting on the handle, keeping its mask for resume(). -1 (ENOENT)
    // when not bound.
    int suspend(ACE_HANDLE handle)
    {
        ACE_Guard<Token> guard(_token);
        CEntry* entry = findIt(handle);
        if (!entry) {
            errno = ENOENT;
            return -1;
        }
        if (!entry->suspended) {
            _sets.waitSet().moveHandle(handle, _sets.suspendedSet());
            entry->suspended = true;
            wake();
        }
        return 0;
    }
    int resume(ACE_HANDLE handle)
    {
        ACE_Guard<Token> guard(_token);
        CEntry* entry = findIt(handle);
        if (!entry) {
            errno = ENOENT;
            return -1;
        }
        if (entry->suspended) {
            _sets.suspendedSet().moveHandle(handle, _sets.waitSet());
            entry->suspended = false;
            wake();
        }
        return 0;
    }
    bool isSuspended(ACE_HANDLE handle)
    {
        ACE_Guard<Token> guard(_token);
        const CEntry* entry = findIt(handle);
        return entry && entry->suspended;
    }

    // ACE mask operation (ACE_Reactor::GET_MASK, SET_MASK, ADD_MASK,
    // CLR_MASK) on the handle's mask; returns the mask before the change. A
    // mask cleared to nothing keeps the handler bound but not waited on.
    int applyMask(ACE_HANDLE handle, ACE_Reactor_Mask mask, int ops)
    {
        ACE_Guard<Token> guard(_token);
        CEntry* entry = findIt(handle);
        if (!entry) {
            errno = ENOENT;
            return -1;
        }
        const ACE_Reactor_Mask old = entry->mask;
        const ACE_Reactor_Mask bits = CReactorBaseHandleSet::selectBits(mask);
        switch (ops) {
        case ACE_Reactor::GET_MASK: return static_cast<int>(old);
        case ACE_Reactor::SET_MASK: entry->mask = bits; break;
        case ACE_Reactor::ADD_MASK: entry->mask |= bits; break;
        case ACE_Reactor::CLR_MASK: entry->mask &= ~bits; break;
        default: errno = EINVAL; return -1;
        }
        _setOf(*entry).applyMask(handle, entry->mask);
        wake();
        return static_cast<int>(old);
    }

    // Counts the timers due at now and remembers both for expireTimers().
    int expiredTimers(const ACE_Time_Value& now)
    {
        _expiredAt = now;
        _expiredCount = countExpired(now);
        return _expiredCount;
    }
    // Timers due at now, without remembering anything.
    int countExpired(const ACE_Time_Value& now) const
    {
        if (!_timerQueue) return 0;
        CGuard<const TimerQueuePtr> lock(_timerQueuePtr);
        if (_timerQueue->is_empty() || _timerQueue->earliest_time() > now) return 0;
        int count = 0;
        auto& it = _timerQueue->iter();
        for (it.first(); !it.isdone(); it.next())
            if (it.item()->get_timer_value() <= now) ++count;
        return count;
    }
    // Fires the timers counted by the last expiredTimers(); returns how many
    // fired and how many had been counted.
    std::pair<int, int> expireTimers()
    {
        const int counted = _expiredCount;
        _expiredCount = 0;
        if (counted == 0 || !_timerQueuePtr) return {0, counted};
        return {_timerQueuePtr->expire(_expiredAt), counted};
    }

    // True when the last select() left a handle ready or a timer is due.
    bool anyReady(const ACE_Time_Value& now) { return !_sets.readySet().empty() || countExpired(now) > 0; }

    // The ready set, refilled with every handle waited on. The same set is
    // reused from turn to turn.
    HandleSetPtr createHandleSetPtr()
    {
        _sets.prepareReadySet();
        return _readyPtr;
    }
    const CReactorHandleSet& waitSet() const { return _sets.waitSet(); }
    CReactorHandleSet& readySet() { return _sets.readySet(); }

    // Replaces the timer queue; the reactor does not own a queue given to it.
    // A null queue makes the reactor create its own heap again.
    int setTimerQueue(ACE_Timer_Queue* timerQueue)
    {
        ACE_Guard<Token> guard(_token);
        if (_ownTimerQueue) delete _timerQueue;
        _ownTimerQueue = timerQueue == nullptr;
        _timerQueue = _ownTimerQueue ? new ACE_Timer_Heap : timerQueue;
        _timerQueuePtr = TimerQueuePtr(_timerQueue);
        return 0;
    }
    TimerQueuePtr getTimerQueue() const { return _timerQueuePtr; }

    ACE_Sig_Handler* sigHandler() const { return _sig; }
    int setSigHandler(ACE_Sig_Handler* sigHandler)
    {
        ACE_Guard<Token> guard(_token);
        if (_ownSig) delete _sig;
        _ownSig = false;
        _sig = sigHandler;
        return 0;
    }

    // Sends a wake-up (a null item) through the notification channel.
    // Throws CExNotifyFull when the channel is full or not open.
    void notify()
    {
        NotifyPtr channel = _notifyPtr;
        if (!channel) {
            CReactorNotify closed;
            closed.notify(nullptr); // throws: the reactor is not open
        }
        channel->notify(nullptr);
    }
    ACE_HANDLE notifyHandle() const { return _notify ? _notify->get_handle() : ACE_INVALID_HANDLE; }
    // (Re)opens or closes the channel alone.
    void openNotify(ACE_Reactor* front)
    {
        ACE_Guard<Token> guard(_token);
        if (_notify && !_notify->isOpen()) _notify->open(front);
    }
    void closeNotify()
    {
        ACE_Guard<Token> guard(_token);
        if (_notify) _notify->close();
    }

    // The loop marks itself while it runs so that other threads know when a
    // change must wake it. Callers hold the token.
    void enterLoop()
    {
        _loopThread = ACE_Thread::self();
        _inLoop = true;
    }
    void leaveLoop() { _inLoop = false; }

    // Wakes the loop when another thread changed something it waits on.
    // Callers hold the token. A full channel already wakes the loop, and a
    // failing one cannot be helped here: the change is seen at the next turn.
    void wake()
    {
        if constexpr (shared) {
            if (!_inLoop || ACE_OS::thr_equal(ACE_Thread::self(), _loopThread) || !_notifyPtr || !_notify->isOpen())
                return;
            try {
                _notifyPtr->notify(nullptr);
            } catch (const CException&) {
            }
        }
    }

    // First half of unbind: updates the table and the sets. Callers hold the
    // token.
    int _unbindPrepare(ACE_HANDLE handle, ACE_Reactor_Mask mask, HandlerPtr& handler, bool& complete)
    {
        CEntry* entry = findIt(handle);
        if (!entry) {
            errno = ENOENT;
            return -1;
        }
        handler = entry->handler;
        entry->mask &= ~CReactorBaseHandleSet::selectBits(mask);
        complete = entry->mask == 0;
        _setOf(*entry).applyMask(handle, entry->mask);
        if (complete) *entry = CEntry();
        return 0;
    }
    // Second half: tells the handler. The handler may delete itself in
    // handle_close(), so it is not touched afterwards unless it counts
    // references.
    void _unbindComplete(ACE_HANDLE handle, const HandlerPtr& handler, ACE_Reactor_Mask mask, bool complete)
    {
        ACE_Event_Handler* raw = handler.get();
        const bool counted = raw->reference_counting_policy().value() ==
                             ACE_Event_Handler::Reference_Counting_Policy::ENABLED;
        if (!(mask & ACE_Event_Handler::DONT_CALL))
            reactorCall(handler, &ACE_Event_Handler::handle_close, handle,
                        static_cast<ACE_Reactor_Mask>(mask & ~ACE_Event_Handler::DONT_CALL));
        if (complete && counted) raw->remove_reference();
    }

private:
    bool _valid(ACE_HANDLE handle) const { return handle >= 0 && static_cast<size_t>(handle) < _table.size(); }
    CReactorBaseHandleSet& _setOf(const CEntry& entry)
    {
        return entry.suspended ? _sets.suspendedSet() : static_cast<CReactorBaseHandleSet&>(_sets.waitSet());
    }

    Token _token;
    bool _open = false;
    size_t _size = 0;
    std::vector<CEntry> _table;
    CReactorHandleSetMgr _sets;
    HandleSetPtr _readyPtr;
    ACE_Timer_Queue* _timerQueue = nullptr;
    bool _ownTimerQueue = false;
    TimerQueuePtr _timerQueuePtr;
    ACE_Time_Value _expiredAt;
    int _expiredCount = 0;
    ACE_Sig_Handler* _sig = nullptr;
    bool _ownSig = false;
    CReactorNotify* _notify = nullptr;
    NotifyPtr _notifyPtr;
    bool _inLoop = false;
    ACE_thread_t _loopThread{};
};

} // namespace osk
