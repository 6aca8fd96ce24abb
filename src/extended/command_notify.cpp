#include "extended/command_notify.h"

#include <unistd.h>

#include <memory>

#include "extended/async_command.h"
#include "extended/exception.h"
#include "extended/i_command_queue_task.h"
#include "extended/master_controller.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kDiscarding =
    "Task '%1' is discarding targeted command '%2' because synchronous execution would cause a deadlock. "
    "Please contact technical support.";
const char* const kInvalidPointer = "Task '%1' received an invalid command pointer.";
const char* const kExpiring =
    "Task '%1' is expiring an unexecuted command in transit. Please contact technical support.";

using command_item_t = CGeneralPtr<CAsyncCommand>;

// The reactor calls handle_input() on one thread at a time only for some
// reactor types; the lock makes peek-then-consume atomic for all of them.
class CUnlockOnExit {
public:
    explicit CUnlockOnExit(CNRMutex& lock) : _lock(&lock) { _lock->lock(); }
    ~CUnlockOnExit() { release(); }
    void release()
    {
        if (_lock) _lock->unlock();
        _lock = nullptr;
    }

private:
    CNRMutex* _lock;
};
} // namespace

CCommandNotify::CCommandNotify(CMasterController* controller, CICommandQueueTask* task)
    : _controller(controller), _task(task)
{
}

CCommandNotify::~CCommandNotify()
{
    // Close here, while _clearData() still resolves to this class, so pending
    // commands are released rather than leaked.
    try {
        close();
    } catch (...) {
        // Nothing to report from a destructor.
    }
}

int CCommandNotify::handle_input(ACE_HANDLE)
{
    CUnlockOnExit guard(_readLock);
    void* item = nullptr;
    if (!_peekData(item)) return 0;
    if (!item) {
        _readData(item);
        return 0;
    }
    auto* command = static_cast<command_item_t*>(item);
    if (!command->isNull() && !(*command)->canExecute()) {
        // Targeted at another thread that has not had its chance yet.
        if (_task->deferredDispatch(this, item)) return 0;
        const std::string name = (*command)->name();
        _readData(item);
        CTrackedFactory::destroy(command);
        guard.release();
        _log(kDiscarding, name);
        return 0;
    }
    _readData(item);
    guard.release();
    command = static_cast<command_item_t*>(item);
    if (item && !command->isNull() && !(*command)->immediateExecution() && _task->deferredDispatch(this, item))
        return 0;
    dispatch(item);
    return 0;
}

void CCommandNotify::dispatch(void* item)
{
    if (!item) {
        _log(kInvalidPointer);
        return;
    }
    CTrackedPtr<command_item_t> holder(static_cast<command_item_t*>(item));
    if (holder->isNull()) {
        _log(kExpiring);
        return;
    }
    CAsyncCommand& command = **holder;
    if (!command.targetIsMe()) {
        // Read here only because its time to live ran out: wait until the
        // target thread has executed it.
        command.blockObserver();
        return;
    }
    try {
        command.execute(_task->myThreadIndex());
        command.signalResult();
    } catch (const CException& e) {
        _recordAndLog(e);
        // The caller waits without a time-out: release it regardless.
        try {
            command.signalResult();
        } catch (const CException& again) {
            _recordAndLog(again);
        }
    }
    if (command.hasObservers()) {
        command.releaseObservers();
        while (command.observerCount() != 0) usleep(5);
    }
}

void CCommandNotify::_clearData()
{
    void* item = nullptr;
    while (_readData(item)) CTrackedFactory::destroy(static_cast<command_item_t*>(item));
}

void CCommandNotify::_log(const char* text, const std::string& commandName)
{
    CMessage message(text, kModule);
    // Texts without a second placeholder ignore the command name.
    message.pushs(_task->taskName()).pushs(commandName);
    _controller->syslog(CException::error, message);
}

void CCommandNotify::_recordAndLog(const CException& exception)
{
    CExceptionFacade& facade = _controller->exceptionFacade();
    exception.record(facade);
    facade.log();
}

} // namespace osk
