#pragma once

#include <pthread.h>

#include <memory>
#include <string>

#include "ace_ext/ex_notify_full.h"
#include "extended/async_command.h"
#include "extended/command_notify.h"
#include "extended/ex_queue_full.h"
#include "extended/i_command_queue_task.h"
#include "extended/master_controller.h"
#include "extended/reactor_task.h"
#include "standard/tracked_factory.h"

namespace osk {

namespace command_queue_texts {
inline const char* const kModule = "extended";
inline const char* const kSendFailed = "Failed to send command '%1' to task '%2'.";
inline const char* const kOverflow = "Command queue overflow.";
inline const char* const kCreateFailed = "Failed to create task '%1'.";
inline const char* const kNoController = "The master controller does not exist.";
inline const char* const kThreadEnded = "Task '%1' is ending a thread after an unexpected exception: %2";
} // namespace command_queue_texts

// A reactor task that executes commands posted by any thread. The commands
// travel through a CCommandNotify channel registered with the task's reactor;
// the task's threads, which all pump that reactor, execute them.
template <class Reactor = CMTReactor>
class CCommandQueueTask : public CReactorTask<Reactor>, public CICommandQueueTask {
public:
    CCommandQueueTask(CMasterController* controller, const std::string& name, uint64_t threadCount)
        : CReactorTask<Reactor>(name, threadCount), _controller(controller)
    {
        if (!controller)
            throw OSK_EXCEPTION(CMessage(command_queue_texts::kCreateFailed).pushs(name),
                                CMessage(command_queue_texts::kNoController), "CCommandQueueTask::CCommandQueueTask",
                                command_queue_texts::kModule);
    }
    // Commands still queued are released without being executed.
    ~CCommandQueueTask() override
    {
        try {
            if (_notifier) _notifier->close();
        } catch (...) {
            // Nothing to report from a destructor.
        }
    }

    // Opens the command queue on the task's reactor, then starts the threads.
    int run() override
    {
        if (!_notifier && !this->running()) {
            auto notifier = CTrackedFactory::createUnique<CCommandNotify>(_controller, this);
            notifier->open(this->reactor());
            _notifier = std::move(notifier);
        }
        return CReactorTask<Reactor>::run();
    }

    // Posts the command: one more reference travels through the channel. A
    // full or closed channel throws CExQueueFull and the command is dropped.
    void sendCommand(const CGeneralPtr<CAsyncCommand>& command) const override
    {
        auto item = CTrackedFactory::createUnique<CGeneralPtr<CAsyncCommand>>(command);
        try {
            // Before run() the channel does not exist yet: it is as closed.
            if (!_notifier)
                throw CExNotifyFull(CMessage(command_queue_texts::kOverflow), CMessage(),
                                    "CCommandQueueTask::sendCommand", command_queue_texts::kModule, __FILE__, __LINE__);
            _notifier->notify(item.get());
            item.release();
        } catch (const CExNotifyFull&) {
            item.reset();
            const std::string name = command ? command->name() : std::string();
            throw CExQueueFull(CMessage(command_queue_texts::kSendFailed).pushs(name).pushs(taskName()),
                               CMessage(command_queue_texts::kOverflow), "CCommandQueueTask::sendCommand",
                               command_queue_texts::kModule, __FILE__, __LINE__);
        }
    }

    const std::string& taskName() const override { return this->name(); }
    bool deferredDispatch(CICommandQueueTaskHandler*, void*) override { return false; }
    size_t myThreadIndex() const override { return this->_threadIndex(pthread_self()); }

    CMasterController* controller() const { return _controller; }

protected:
    void _threadStart() override
    {
        CReactorTask<Reactor>::_threadStart();
        _controller->taskRegistry()->registerTask(taskName());
    }

    void _threadExit() override
    {
        try {
            _controller->taskRegistry()->deregisterTask();
        } catch (const CException& e) {
            _recordAndLog(e);
        }
        CReactorTask<Reactor>::_threadExit();
    }

    // Pumps like CReactorTask, but an osk::CException escaping an event
    // handler is recorded and logged and the loop goes on. Any other
    // exception ends the calling thread.
    void _pumpReactor(ACE_Time_Value* timeout) override
    {
        while (!this->stopping()) {
            try {
                CReactorTask<Reactor>::_pumpReactor(timeout);
            } catch (const CException& e) {
                _recordAndLog(e);
            } catch (const std::exception& e) {
                _controller->syslog(CException::error, CMessage(command_queue_texts::kThreadEnded,
                                                                command_queue_texts::kModule)
                                                           .pushs(taskName())
                                                           .pushs(e.what()));
                return;
            }
        }
    }

private:
    void _recordAndLog(const CException& exception)
    {
        CExceptionFacade& facade = _controller->exceptionFacade();
        exception.record(facade);
        facade.log();
    }

    CMasterController* _controller;
    CTrackedPtr<CCommandNotify> _notifier;
};

} // namespace osk
