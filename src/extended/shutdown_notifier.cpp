#include "extended/shutdown_notifier.h"

#include <ace/Reactor.h>
#include <ace/Signal.h>

#include <csignal>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kRegisterFailed = "Failed to register for SIGTERM.";

ACE_Sig_Set shutdownSignals()
{
    ACE_Sig_Set signals;
    for (int signum : {SIGTERM, SIGQUIT, SIGINT, SIGTTOU, SIGPIPE, SIGHUP, SIGUSR1, SIGUSR2}) signals.sig_add(signum);
    return signals;
}
} // namespace

CShutdownNotifier::CShutdownNotifier(ACE_Reactor* reactor) : ACE_Event_Handler(reactor) {}

CShutdownNotifier::~CShutdownNotifier()
{
    try {
        deregisterSIGTERM();
        // A wake-up still queued would name a handler that no longer exists.
        if (reactor()) reactor()->purge_pending_notifications(this);
    } catch (...) {
        // Nothing to report from a destructor.
    }
}

void CShutdownNotifier::registerSIGTERM()
{
    if (_registered) return;
    ACE_Reactor* target = reactor();
    if (!target || target->register_handler(shutdownSignals(), this) == -1)
        throw OSK_EXCEPTION(CMessage(kRegisterFailed), CMessage(), "CShutdownNotifier::registerSIGTERM", kModule);
    _registered = true;
}

void CShutdownNotifier::deregisterSIGTERM()
{
    if (!_registered) return;
    _registered = false;
    if (reactor()) reactor()->remove_handler(shutdownSignals());
}

void CShutdownNotifier::set(bool shutdown)
{
    _shutdown.store(shutdown);
    if (!shutdown || !reactor()) return;
    try {
        reactor()->notify(this, ACE_Event_Handler::EXCEPT_MASK);
    } catch (const CException&) {
        // Reactors that cannot address a handler are woken instead; their
        // owner reads the flag through set().
        try {
            reactor()->notify();
        } catch (const CException&) {
            // A full channel will wake the reactor anyway.
        }
    }
}

int CShutdownNotifier::handle_signal(int signum, siginfo_t*, ucontext_t*)
{
    // Runs in signal context: the flag and a wake-up of the loop, nothing
    // that allocates or throws (set() may do both on a reactor that refuses
    // handler notifications). Whoever waits in the reactor reads the flag.
    if (signum != SIGTERM && signum != SIGQUIT && signum != SIGINT) return 0;
    _shutdown.store(true);
    if (reactor()) reactor()->wakeup_all_threads();
    return 0;
}

int CShutdownNotifier::handle_exception(ACE_HANDLE) { return _shutdown.load() ? -1 : 0; }

} // namespace osk
