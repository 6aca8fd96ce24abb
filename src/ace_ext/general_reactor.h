#pragma once

#include <ace/Reactor.h>
#include <sys/select.h>

#include "ace_ext/general_reactor_base.h"

namespace osk {

// A reactor assembled from an implementation policy (CReactorImplPolicy):
// every ACE_Reactor_Impl operation is forwarded to the policy's member of the
// same name. Like ACE's own reactors it opens itself on construction, so
// `new ACE_Reactor(new CGeneralReactor<...>, true)` is ready to use; open()
// on an open reactor fails with EBUSY, and after close() it may be opened
// again with other parameters.
template <class Impl>
class CGeneralReactor : public CGeneralReactorBase {
public:
    explicit CGeneralReactor(size_t size = FD_SETSIZE, bool restart = false, ACE_Sig_Handler* sigHandler = nullptr,
                             ACE_Timer_Queue* timerQueue = nullptr, int disableNotifyPipe = 0)
    {
        _impl.front(_createFront());
        try {
            _impl.open(size, restart, sigHandler, timerQueue, disableNotifyPipe, nullptr);
        } catch (...) {
            _destroyFront();
            throw;
        }
    }
    ~CGeneralReactor() override
    {
        _impl.close();
        _destroyFront();
    }

    Impl& impl() { return _impl; }

    int open(size_t size, bool restart = false, ACE_Sig_Handler* sigHandler = nullptr,
             ACE_Timer_Queue* timerQueue = nullptr, int disableNotifyPipe = 0,
             ACE_Reactor_Notify* notify = nullptr) override
    {
        return _impl.open(size, restart, sigHandler, timerQueue, disableNotifyPipe, notify);
    }
    int current_info(ACE_HANDLE handle, size_t& size) override { return _impl.current_info(handle, size); }
    int set_sig_handler(ACE_Sig_Handler* sigHandler) override { return _impl.set_sig_handler(sigHandler); }
    int timer_queue(ACE_Timer_Queue* timerQueue) override { return _impl.timer_queue(timerQueue); }
    ACE_Timer_Queue* timer_queue() const override { return _impl.timer_queue(); }
    int close() override { return _impl.close(); }

    int work_pending(const ACE_Time_Value& maxWait = ACE_Time_Value::zero) override
    {
        return _impl.work_pending(maxWait);
    }
    int handle_events(ACE_Time_Value* maxWait = nullptr) override { return _impl.handle_events(maxWait); }
    int alertable_handle_events(ACE_Time_Value* maxWait = nullptr) override
    {
        return _impl.alertable_handle_events(maxWait);
    }
    int handle_events(ACE_Time_Value& maxWait) override { return _impl.handle_events(maxWait); }
    int alertable_handle_events(ACE_Time_Value& maxWait) override { return _impl.alertable_handle_events(maxWait); }
    int deactivated() override { return _impl.deactivated(); }
    void deactivate(int doStop) override { _impl.deactivate(doStop); }

    int register_handler(ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.register_handler(handler, mask);
    }
    int register_handler(ACE_HANDLE handle, ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.register_handler(handle, handler, mask);
    }
    int register_handler(ACE_HANDLE eventHandle, ACE_HANDLE ioHandle, ACE_Event_Handler* handler,
                         ACE_Reactor_Mask mask) override
    {
        return _impl.register_handler(eventHandle, ioHandle, handler, mask);
    }
    int register_handler(const ACE_Handle_Set& handles, ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.register_handler(handles, handler, mask);
    }
    int register_handler(int signum, ACE_Event_Handler* handler, ACE_Sig_Action* newDisp = nullptr,
                         ACE_Event_Handler** oldHandler = nullptr, ACE_Sig_Action* oldDisp = nullptr) override
    {
        return _impl.register_handler(signum, handler, newDisp, oldHandler, oldDisp);
    }
    int register_handler(const ACE_Sig_Set& sigset, ACE_Event_Handler* handler,
                         ACE_Sig_Action* newDisp = nullptr) override
    {
        return _impl.register_handler(sigset, handler, newDisp);
    }
    int remove_handler(ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.remove_handler(handler, mask);
    }
    int remove_handler(ACE_HANDLE handle, ACE_Reactor_Mask mask) override { return _impl.remove_handler(handle, mask); }
    int remove_handler(const ACE_Handle_Set& handles, ACE_Reactor_Mask mask) override
    {
        return _impl.remove_handler(handles, mask);
    }
    int remove_handler(int signum, ACE_Sig_Action* newDisp, ACE_Sig_Action* oldDisp = nullptr,
                       int sigkey = -1) override
    {
        return _impl.remove_handler(signum, newDisp, oldDisp, sigkey);
    }
    int remove_handler(const ACE_Sig_Set& sigset) override { return _impl.remove_handler(sigset); }

    int suspend_handler(ACE_Event_Handler* handler) override { return _impl.suspend_handler(handler); }
    int suspend_handler(ACE_HANDLE handle) override { return _impl.suspend_handler(handle); }
    int suspend_handler(const ACE_Handle_Set& handles) override { return _impl.suspend_handler(handles); }
    int suspend_handlers() override { return _impl.suspend_handlers(); }
    int resume_handler(ACE_Event_Handler* handler) override { return _impl.resume_handler(handler); }
    int resume_handler(ACE_HANDLE handle) override { return _impl.resume_handler(handle); }
    int resume_handler(const ACE_Handle_Set& handles) override { return _impl.resume_handler(handles); }
    int resume_handlers() override { return _impl.resume_handlers(); }
    int resumable_handler() override { return _impl.resumable_handler(); }
    bool uses_event_associations() override { return _impl.uses_event_associations(); }

    long schedule_timer(ACE_Event_Handler* handler, const void* arg, const ACE_Time_Value& delay,
                        const ACE_Time_Value& interval = ACE_Time_Value::zero) override
    {
        return _impl.schedule_timer(handler, arg, delay, interval);
    }
    int reset_timer_interval(long timerId, const ACE_Time_Value& interval) override
    {
        return _impl.reset_timer_interval(timerId, interval);
    }
    int cancel_timer(ACE_Event_Handler* handler, int dontCallHandleClose = 1) override
    {
        return _impl.cancel_timer(handler, dontCallHandleClose);
    }
    int cancel_timer(long timerId, const void** arg = nullptr, int dontCallHandleClose = 1) override
    {
        return _impl.cancel_timer(timerId, arg, dontCallHandleClose);
    }

    int schedule_wakeup(ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.schedule_wakeup(handler, mask);
    }
    int schedule_wakeup(ACE_HANDLE handle, ACE_Reactor_Mask mask) override
    {
        return _impl.schedule_wakeup(handle, mask);
    }
    int cancel_wakeup(ACE_Event_Handler* handler, ACE_Reactor_Mask mask) override
    {
        return _impl.cancel_wakeup(handler, mask);
    }
    int cancel_wakeup(ACE_HANDLE handle, ACE_Reactor_Mask mask) override { return _impl.cancel_wakeup(handle, mask); }

    int notify(ACE_Event_Handler* handler = nullptr, ACE_Reactor_Mask mask = ACE_Event_Handler::EXCEPT_MASK,
               ACE_Time_Value* timeout = nullptr) override
    {
        return _impl.notify(handler, mask, timeout);
    }
    void max_notify_iterations(int iterations) override { _impl.max_notify_iterations(iterations); }
    int max_notify_iterations() override { return _impl.max_notify_iterations(); }
    int purge_pending_notifications(ACE_Event_Handler* handler = nullptr,
                                    ACE_Reactor_Mask mask = ACE_Event_Handler::ALL_EVENTS_MASK) override
    {
        return _impl.purge_pending_notifications(handler, mask);
    }

    ACE_Event_Handler* find_handler(ACE_HANDLE handle) override { return _impl.find_handler(handle); }
    int handler(ACE_HANDLE handle, ACE_Reactor_Mask mask, ACE_Event_Handler** handler = nullptr) override
    {
        return _impl.handler(handle, mask, handler);
    }
    int handler(int signum, ACE_Event_Handler** handler = nullptr) override { return _impl.handler(signum, handler); }
    bool initialized() override { return _impl.initialized(); }
    size_t size() const override { return _impl.size(); }
    ACE_Lock& lock() override { return _impl.lock(); }
    void wakeup_all_threads() override { _impl.wakeup_all_threads(); }
    int owner(ACE_thread_t newOwner, ACE_thread_t* oldOwner = nullptr) override
    {
        return _impl.owner(newOwner, oldOwner);
    }
    int owner(ACE_thread_t* owner) override { return _impl.owner(owner); }
    bool restart() override { return _impl.restart(); }
    bool restart(bool value) override { return _impl.restart(value); }
    void requeue_position(int position) override { _impl.requeue_position(position); }
    int requeue_position() override { return _impl.requeue_position(); }

    int mask_ops(ACE_Event_Handler* handler, ACE_Reactor_Mask mask, int ops) override
    {
        return _impl.mask_ops(handler, mask, ops);
    }
    int mask_ops(ACE_HANDLE handle, ACE_Reactor_Mask mask, int ops) override
    {
        return _impl.mask_ops(handle, mask, ops);
    }
    int ready_ops(ACE_Event_Handler* handler, ACE_Reactor_Mask mask, int ops) override
    {
        return _impl.ready_ops(handler, mask, ops);
    }
    int ready_ops(ACE_HANDLE handle, ACE_Reactor_Mask mask, int ops) override
    {
        return _impl.ready_ops(handle, mask, ops);
    }

    void dump() const override { _impl.dump(); }

private:
    Impl _impl;
};

} // namespace osk
