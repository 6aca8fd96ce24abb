#pragma once

#include <cstddef>
#include <string>

#include "standard/general_ptr.h"

namespace osk {

class CAsyncCommand;
class CICommandQueueTaskHandler;

// A task that accepts commands: any thread may post one; one of the task's own
// threads executes it.
class CICommandQueueTask {
public:
    virtual ~CICommandQueueTask() = default;

    // Posts the command and returns at once. Throws CExQueueFull when the
    // queue cannot take it; the command is then never executed.
    virtual void sendCommand(const CGeneralPtr<CAsyncCommand>& command) const = 0;
    virtual const std::string& taskName() const = 0;
    // Offered every command that is not executed on the spot. Returning true
    // means the task has taken the item over (see CCommandNotify).
    virtual bool deferredDispatch(CICommandQueueTaskHandler* handler, void* item) = 0;
    // Index of the calling thread among the task's threads (0 for the first).
    virtual size_t myThreadIndex() const = 0;
};

} // namespace osk
