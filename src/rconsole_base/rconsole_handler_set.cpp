#include "rconsole_base/rconsole_handler_set.h"

#include "extended/exception.h"
#include "extended/i_task.h"
#include "extended/master_controller.h"
#include "standard/tracked_factory.h"

CRConsoleHandlerSet::CRConsoleHandlerSet(osk::CMasterController* controller) : _controller(controller) {}

bool CRConsoleHandlerSet::add(osk::CITask* task) { return _tasks.insert(task).second; }

bool CRConsoleHandlerSet::remove(osk::CITask* task) { return _tasks.erase(task) != 0; }

void CRConsoleHandlerSet::closeAll()
{
    std::set<osk::CITask*> tasks;
    tasks.swap(_tasks);
    for (osk::CITask* task : tasks) {
        try {
            task->shutdown();
        } catch (const osk::CException& e) {
            if (_controller) {
                osk::CExceptionFacade& facade = _controller->exceptionFacade();
                e.record(facade);
                facade.log();
            }
        }
        osk::CTrackedFactory::destroy(task);
    }
}
