#pragma once

#include <ace/Reactor.h>
#include <ace/Select_Reactor.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "extended/master_controller.h"
#include "extended/shutdown_notifier.h"

namespace zelvo_test {

// A small concrete controller for the framework tests: it owns a select
// reactor for its shutdown notifier and keeps every log entry in memory so
// tests can check what was logged.
class CTestController : public osk::CMasterController {
public:
    CTestController() : _reactor(new ACE_Select_Reactor, true), _notifier(&_reactor) {}

    std::string type() const override { return "test"; }
    osk::CShutdownNotifier& shutdownNotifier() const override { return _notifier; }
    std::string appName() const override { return "zelvo-test"; }
    int daemon() override
    {
        waitForShutdown();
        return 0;
    }
    void stop() override { signalShutdownComplete(); }
    void pause() override {}
    void resume() override {}

    void syslog(uint32_t severity, const osk::CMessage& message, int errCode) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _entries.push_back(osk::CException::severityString(severity) + ": " + message.formatted());
        _errCodes.push_back(errCode);
    }

    std::vector<std::string> entries() const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _entries;
    }
    size_t countContaining(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return static_cast<size_t>(std::count_if(_entries.begin(), _entries.end(), [&](const std::string& entry) {
            return entry.find(text) != std::string::npos;
        }));
    }
    // The system error number logged with the first entry that contains
    // text; -1 when no entry does.
    int errCodeOf(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        for (size_t i = 0; i < _entries.size(); ++i)
            if (_entries[i].find(text) != std::string::npos) return _errCodes[i];
        return -1;
    }
    ACE_Reactor& reactor() { return _reactor; }

private:
    ACE_Reactor _reactor;
    mutable osk::CShutdownNotifier _notifier;
    mutable std::mutex _mutex;
    std::vector<std::string> _entries;
    std::vector<int> _errCodes;
};

} // namespace zelvo_test
