#pragma once

#include "ace_ext/reactor_notify.h"
#include "extended/i_command_queue_task_handler.h"
#include "standard/nr_mutex.h"

namespace osk {

class CMasterController;
class CICommandQueueTask;

// The command queue of a command-queue task: a reactor notification channel
// whose items are heap-allocated CGeneralPtr<CAsyncCommand> objects, each
// holding one reference to a posted command. The task's threads read the
// items and execute the commands; an item's pointer is deleted once its
// command has been executed, discarded or cleared.
class CCommandNotify : public CReactorNotify, public CICommandQueueTaskHandler {
public:
    CCommandNotify(CMasterController* controller, CICommandQueueTask* task);
    ~CCommandNotify() override;

    // Takes the next command when the calling thread may execute it; a command
    // targeted at another thread is offered to the task's deferredDispatch and
    // otherwise discarded.
    int handle_input(ACE_HANDLE handle) override;
    // Executes the command of one consumed item and deletes the item.
    void dispatch(void* item) override;

protected:
    // Deletes the pointers of all pending items without executing them.
    void _clearData() override;

private:
    void _log(const char* text, const std::string& commandName = std::string());
    void _recordAndLog(const CException& exception);

    CMasterController* _controller;
    CICommandQueueTask* _task;
    // Peeking and consuming an item is one step even when several threads
    // wake for the same datagram.
    CNRMutex _readLock;
};

} // namespace osk
