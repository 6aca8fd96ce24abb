#include "standard/tracked_factory.h"
#include "tftp/tftp_interfaces/tftp_event_publisher.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "extended/exception.h"
#include "extended/i_command_queue_task.h"
#include "extended/master_controller.h"
#include "tftp/tftp_interfaces/cmd_tftp_event.h"
#include "tftp/tftp_interfaces/i_tftp_event_subscriber.h"

namespace {
const char* const kModule = "tftp_interfaces";
const char* const kRegisterFailed = "Failed to register for application events.";
const char* const kAlreadyRegistered = "This thread is already registered.";
const char* const kDeregistered = "De-registered event subscriber '%1'.";
} // namespace

CTFTPEventPublisher::CTFTPEventPublisher(osk::CMasterController* controller) : _controller(controller) {}

uint32_t CTFTPEventPublisher::callingThread() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

void CTFTPEventPublisher::registerSubscriber(CITFTPEventSubscriber* subscriber)
{
    const uint32_t thread = callingThread();
    if (_subscribers.count(thread))
        throw OSK_EXCEPTION(osk::CMessage(kRegisterFailed, kModule), osk::CMessage(kAlreadyRegistered, kModule),
                            "CTFTPEventPublisher::registerSubscriber", kModule);
    _subscribers.emplace(thread, subscriber);
    _count.store(_subscribers.size());
}

void CTFTPEventPublisher::deregisterSubscriber()
{
    const auto found = _subscribers.find(callingThread());
    if (found == _subscribers.end()) return;
    if (_controller) {
        osk::CICommandQueueTask* task = found->second ? found->second->task() : nullptr;
        _controller->syslog(osk::CException::info,
                            osk::CMessage(kDeregistered, kModule).pushs(task ? task->taskName() : std::string()));
    }
    _subscribers.erase(found);
    _count.store(_subscribers.size());
}

void CTFTPEventPublisher::publishEvent(const osk::CAppEventPtr& event)
{
    for (const auto& entry : _subscribers) {
        CITFTPEventSubscriber* subscriber = entry.second;
        if (!subscriber || !subscriber->task()) continue;
        try {
            subscriber->task()->sendCommand(
                osk::CAsyncCommandPtr(osk::CTrackedFactory::create<CCmdTFTPEvent>(event, subscriber)));
        } catch (const osk::CException& e) {
            if (_controller) e.record(_controller->exceptionFacade());
            return;
        }
    }
}

CITFTPEventSubscriber* CTFTPEventPublisher::subscriber(uint32_t threadId) const
{
    const auto found = _subscribers.find(threadId);
    return found == _subscribers.end() ? nullptr : found->second;
}
