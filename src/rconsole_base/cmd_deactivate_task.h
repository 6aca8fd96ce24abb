#pragma once

#include "extended/async_command.h"
#include "extended/ext_async_result.h"
#include "extended/i_task.h"
#include "standard/tracked_factory.h"

// Removes a finished console handler on the acceptor's thread: only a
// handler still in the acceptor's set is shut down and destroyed, so one
// that closeAll() already took is left alone.
template <class Acceptor>
class CCmdDeactivateTask : public osk::CAsyncCommand {
public:
    static constexpr const char* commandName = "deactivate-rconsole-handler";

    // Nobody waits for the outcome, so the command keeps the flag that its
    // result points at.
    CCmdDeactivateTask(osk::CMasterController* controller, Acceptor* acceptor, osk::CITask* handler)
        : osk::CAsyncCommand(commandName, ""), _acceptor(acceptor), _handler(handler), _result(controller, &_done)
    {
    }

    const osk::CExtAsyncResult<bool>& result() const { return _result; }

    void execute(unsigned long) override
    {
        if (_acceptor->handlers().remove(_handler)) {
            _handler->shutdown();
            osk::CTrackedFactory::destroy(_handler);
        }
        *_result = true;
        _result.success(true);
    }

    void signalResult() override { _result.signal(); }

private:
    Acceptor* _acceptor;
    osk::CITask* _handler;
    bool _done = false;
    osk::CExtAsyncResult<bool> _result;
};
