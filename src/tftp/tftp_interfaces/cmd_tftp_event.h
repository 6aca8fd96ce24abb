#pragma once

#include "extended/app_event.h"
#include "extended/async_command.h"

class CITFTPEventSubscriber;

// Carries one event to a subscriber's task; executed there, it hands the
// event to the subscriber's handler. Nobody waits for it.
class CCmdTFTPEvent : public osk::CAsyncCommand {
public:
    static const char* const commandName;

    CCmdTFTPEvent(const osk::CAppEventPtr& event, CITFTPEventSubscriber* subscriber);

    void execute(unsigned long threadIndex) override;
    // Nobody waits: nothing to signal.
    void signalResult() override {}

    const osk::CAppEventPtr& event() const { return _event; }
    CITFTPEventSubscriber* subscriber() const { return _subscriber; }

private:
    osk::CAppEventPtr _event;
    CITFTPEventSubscriber* _subscriber;
};
