#pragma once

namespace osk {

// The receiving end of a command queue as a task sees it. A task that takes
// a command over in deferredDispatch() hands the item back here, on the
// thread that should execute it.
class CICommandQueueTaskHandler {
public:
    virtual ~CICommandQueueTaskHandler() = default;
    // Executes (or observes) the command behind a heap-held command pointer
    // and deletes that pointer.
    virtual void dispatch(void* item) = 0;
};

} // namespace osk
