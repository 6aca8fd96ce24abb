#pragma once

#include <ace/Event_Handler.h>

#include <atomic>

class ACE_Reactor;

namespace osk {

// Turns the process's termination signals into a shutdown flag on a reactor.
// SIGTERM, SIGQUIT and SIGINT set the flag and wake the reactor, whose
// handle_exception() then reports -1; the other signals of the set (SIGTTOU,
// SIGPIPE, SIGHUP, SIGUSR1, SIGUSR2) are caught and ignored.
class CShutdownNotifier : public ACE_Event_Handler {
public:
    explicit CShutdownNotifier(ACE_Reactor* reactor);
    ~CShutdownNotifier() override;
    CShutdownNotifier(const CShutdownNotifier&) = delete;
    CShutdownNotifier& operator=(const CShutdownNotifier&) = delete;

    void registerHandlers() { registerSIGTERM(); }
    void removeHandlers() { deregisterSIGTERM(); }
    void registerSIGTERM();
    void deregisterSIGTERM();
    bool registered() const { return _registered; }

    // Setting the flag also wakes the reactor.
    void set(bool shutdown);
    bool set() const { return _shutdown.load(); }

    int handle_signal(int signum, siginfo_t* info = nullptr, ucontext_t* context = nullptr) override;
    int handle_exception(ACE_HANDLE handle) override;

private:
    std::atomic<bool> _shutdown{false};
    bool _registered = false;
};

} // namespace osk
