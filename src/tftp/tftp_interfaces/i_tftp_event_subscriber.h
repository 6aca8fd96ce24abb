#pragma once

#include "extended/app_event.h"

namespace osk {
class CICommandQueueTask;
}

// A receiver of transfer events inside the process. It belongs to a
// command-queue task: the publisher posts every event to that task as a
// "tftp-event" command, and the handler runs on the task's own thread, so a
// slow subscriber never holds up the engine.
class CITFTPEventSubscriber {
public:
    explicit CITFTPEventSubscriber(osk::CICommandQueueTask* task) : _task(task) {}
    virtual ~CITFTPEventSubscriber() = default;
    CITFTPEventSubscriber(const CITFTPEventSubscriber&) = delete;
    CITFTPEventSubscriber& operator=(const CITFTPEventSubscriber&) = delete;

    osk::CICommandQueueTask* task() const { return _task; }

    // Called on the subscriber's task thread with each event, in the order
    // the events were published.
    virtual void handleEvent(const osk::CAppEventPtr& event) = 0;

private:
    osk::CICommandQueueTask* _task;
};
