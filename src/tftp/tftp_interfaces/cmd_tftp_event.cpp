#include "tftp/tftp_interfaces/cmd_tftp_event.h"

#include "tftp/tftp_interfaces/i_tftp_event_subscriber.h"

const char* const CCmdTFTPEvent::commandName = "tftp-event";

CCmdTFTPEvent::CCmdTFTPEvent(const osk::CAppEventPtr& event, CITFTPEventSubscriber* subscriber)
    : osk::CAsyncCommand(commandName, std::string()), _event(event), _subscriber(subscriber)
{
}

void CCmdTFTPEvent::execute(unsigned long)
{
    if (_subscriber) _subscriber->handleEvent(_event);
}
