#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>

#include "extended/app_event.h"
#include "standard/general_ptr.h"

namespace osk {
class CMasterController;
}
class CITFTPEventSubscriber;

// Fans transfer events out to the subscribers inside the process. Each
// subscriber is registered under the thread that registered it (its task's
// thread) and receives every event as a "tftp-event" command on its task's
// queue; the publisher never waits for a handler.
//
// Shared through CTFTPEventPublisherPtr, whose method lock runs every call
// alone. hasSubscribers() alone is lock-free, so the engine can skip
// building events nobody will receive.
class CTFTPEventPublisher {
public:
    using subscriber_table_t = std::map<uint32_t, CITFTPEventSubscriber*>;

    explicit CTFTPEventPublisher(osk::CMasterController* controller);
    CTFTPEventPublisher(const CTFTPEventPublisher&) = delete;
    CTFTPEventPublisher& operator=(const CTFTPEventPublisher&) = delete;

    // Registers subscriber (not owned) under the calling thread. Throws
    // "Failed to register for application events." / "This thread is
    // already registered." when the thread has a subscriber already; the
    // first registration stays.
    void registerSubscriber(CITFTPEventSubscriber* subscriber);
    // Removes the calling thread's subscriber; nothing when it has none.
    void deregisterSubscriber();
    // Posts the event to every subscriber's task, in thread-id order. A
    // post that fails (a full or closed queue) is recorded in the calling
    // thread's exception facade and ends delivery of this event.
    void publishEvent(const osk::CAppEventPtr& event);

    bool hasSubscribers() const { return _count.load(std::memory_order_relaxed) != 0; }
    size_t subscriberCount() const { return _count.load(); }
    // The subscriber of a thread; null when it has none.
    CITFTPEventSubscriber* subscriber(uint32_t threadId) const;

    // The key of the calling thread (its kernel thread id).
    static uint32_t callingThread();

private:
    osk::CMasterController* _controller;
    subscriber_table_t _subscribers;
    std::atomic<size_t> _count{0};
};

// How the controller hands the publisher out: not owned, method-locked.
using CTFTPEventPublisherPtr =
    osk::CGeneralPtr<CTFTPEventPublisher, osk::CMTNotOwnerPolicy, osk::CMethodLockPolicy, osk::CObjectLockPolicy>;
