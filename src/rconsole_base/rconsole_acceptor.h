#pragma once

#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Stream.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ace_ext/general_reactor_types.h"
#include "extended/command_queue_task.h"
#include "extended/config.h"
#include "extended/config_names.h"
#include "extended/config_values.h"
#include "rconsole_base/cmd_deactivate_task.h"
#include "rconsole_base/i_rconsole_master.h"
#include "rconsole_base/rconsole_admission.h"
#include "rconsole_base/rconsole_login_throttle.h"
#include "rconsole_base/rconsole_pending_logins.h"
#include "rconsole_base/rconsole_handler_set.h"
#include "standard/endpoint.h"
#include "standard/interface_enum.h"
#include "standard/ip_address.h"
#include "standard/sock_stream.h"
#include "standard/string_util.h"
#include "standard/tracked_factory.h"

namespace rconsole_acceptor_texts {
inline const char* const kModule = "rconsole_base";
inline const char* const kTaskName = "rconsole-acceptor";
inline const char* const kCreateFailed = "The remote console failed to create an acceptor.";
inline const char* const kListenFailed = "The remote console failed to listen on '%1'.";
inline const char* const kRegisterFailed = "The remote console failed to register a descriptor for '%1'.";
inline const char* const kListening = "The remote console is listening on %1.";
inline const char* const kNoAcceptor = "The remote console failed to find an acceptor for a descriptor.";
inline const char* const kAcceptFailed = "The remote console failed to accept a connection.";
inline const char* const kClosing = "Closing remote console handlers....";
inline const char* const kShutDown = "The remote console has shut down.";
inline const char* const kQueryPort = "query_rconsole_port";
inline const char* const kConfigPort = "config_port";
inline const char* const kClearSuffix = ",clear";
inline const char* const kLoginFailure = "Login failure from %1.";
inline const char* const kFailureBurst = "Login failures from %1: %2 within %3 seconds.";
inline const char* const kDroppedOldest =
    "The remote console closed the unfinished login from %1 to make room for a newer connection.";
inline const char* const kWatchFailed =
    "Failed to register a descriptor with a remote console reactor while servicing peer %1.";
} // namespace rconsole_acceptor_texts

// Listens on the configured TCP endpoints for consoles. The acceptor never
// waits for a peer: it sends each new connection the login challenge and
// collects the response as it arrives, on its own reactor, within one
// deadline for the whole exchange. Connections that have not logged in are
// bounded in number; one more closes the oldest. A complete response goes
// to a new Handler task, which checks it; a connection whose login failed
// comes back here and is closed only after a delay that grows with the
// failures from its address. Logged-in consoles (one thread each) are
// bounded as well.
//
// The acceptor's one thread runs _init(), accepting, the login exchanges,
// the timers, the deactivation commands and the final clean-up, so the
// sets and the acceptor map need no lock.
//
// Handler is constructed with (CMasterController*, int handle,
// CIRConsoleMaster*), is an osk::CITask and has admission(),
// releaseHandle() and the run() result loginRefused of
// CRConsoleHandler.
template <class Handler>
class CRConsoleAcceptor : public osk::CCommandQueueTask<osk::CMTReactor>, public CIRConsoleMaster {
public:
    // run() returns this when no endpoint could be opened.
    static constexpr int noEndpoint = 2;

    explicit CRConsoleAcceptor(osk::CMasterController* controller)
        : osk::CCommandQueueTask<osk::CMTReactor>(controller, rconsole_acceptor_texts::kTaskName, 1),
          _handlers(controller), _pending(1)
    {
    }

    ~CRConsoleAcceptor() override { _closeAcceptors(); }

    // Stops the thread, which first closes the listening sockets and then
    // shuts down and destroys every handler, all before this returns. The
    // sockets are closed on the acceptor's own thread, so the acceptor map is
    // never touched by two threads.
    int shutdown() override { return osk::CCommandQueueTask<osk::CMTReactor>::shutdown(); }

    // Called by a handler on its own thread; the removal happens later on
    // the acceptor's thread.
    void deactivate(osk::CITask* handler) override
    {
        osk::CAsyncCommandPtr command(
            osk::CTrackedFactory::create<CCmdDeactivateTask<CRConsoleAcceptor>>(controller(), this, handler));
        try {
            sendCommand(command);
        } catch (const osk::CException&) {
            // The acceptor is shutting down: closeAll() collects the handler.
        }
    }

    int handle_input(ACE_HANDLE handle) override
    {
        namespace t = rconsole_acceptor_texts;
        if (CRConsolePendingLogin* login = _pending.find(handle)) {
            _continueLogin(login);
            return 0;
        }
        const auto found = _acceptors.find(handle);
        if (found == _acceptors.end()) {
            _log(osk::CException::error, osk::CMessage(t::kNoAcceptor, t::kModule));
            return 0;
        }
        ACE_SOCK_Stream stream;
        if (found->second->accept(stream, nullptr, nullptr, 1) != 0) {
            _log(osk::CException::error, osk::CMessage(t::kAcceptFailed, t::kModule), errno);
            return 0;
        }
        // Replies are many small writes; a failure only makes them slower.
        osk::CSockStream::sendAtOnce(stream.get_handle());
        login_ptr login;
        try {
            login = osk::CTrackedFactory::createUnique<CRConsolePendingLogin>(stream.get_handle());
        } catch (const osk::CException& e) {
            stream.close();
            _recordAndLogException(e);
            return 0;
        }
        const Settings settings = _settings();
        if (settings.encryption) {
            _beginLogin(std::move(login), settings);
        } else {
            CRConsoleAdmission admission;
            admission.encryption = false;
            _startHandler(std::move(login), admission, settings);
        }
        return 0;
    }

    // Reactor timer upcall: the end of a login exchange's time, of a failed
    // login's delay, or the periodic look at quiet failure bursts.
    int handle_timeout(const ACE_Time_Value&, const void* arg) override
    {
        if (arg == &_throttle) {
            _logBursts(_throttle.sweep(clock::now()));
            return 0;
        }
        login_ptr login = _pending.take(static_cast<const CRConsolePendingLogin*>(arg));
        if (!login) return 0;
        // A one-shot timer is gone once it fired.
        login->timer(-1);
        if (login->stage() == CRConsolePendingLogin::Stage::exchanging)
            _recordAndLogException(CRConsolePendingLogin::timedOut());
        _unwatch(*login);
        return 0;
    }

    CRConsoleHandlerSet& handlers() { return _handlers; }
    // The bound endpoints, in the order they were opened.
    const std::vector<osk::CEndpoint>& endpoints() const { return _endpoints; }

protected:
    int _init() override
    {
        namespace t = rconsole_acceptor_texts;
        osk::CConfigPtr config = controller()->config();
        std::string list;
        uint16_t port = 0;
        bool encryption = true;
        {
            osk::CConfigGuard guard(config);
            const osk::CConfigValues values(*config, osk::CConfigNames::framework());
            list = values.text(osk::CConfigNames::rconsoleListenOn());
            port = values.uint16(osk::CConfigNames::defaultRConsolePort());
            encryption = values.flag(osk::CConfigNames::rconsoleEncryption());
        }
        if (list.empty()) {
            bool ipv6 = false;
            try {
                ipv6 = osk::CInterfaceEnum::hasIPv6();
            } catch (const osk::CException&) {
                ipv6 = false;
            }
            list = (ipv6 ? "[::]:" : "0.0.0.0:") + std::to_string(port);
        }
        size_t opened = 0;
        for (const std::string& piece : osk::CStringUtil::split(list, ",", "", osk::CStringUtil::keepEmpty))
            _open(piece, port, encryption, opened);
        if (!opened) return noEndpoint;
        const ACE_Time_Value sweep(throttleSweepSeconds);
        reactor()->schedule_timer(this, &_throttle, sweep, sweep);
        return 0;
    }

    int _daemon() override
    {
        namespace t = rconsole_acceptor_texts;
        _pumpReactor(nullptr);
        _closeAcceptors();
        reactor()->cancel_timer(this, 1);
        for (login_ptr& login : _pending.takeAll()) {
            login->timer(-1);
            _unwatch(*login);
        }
        _logBursts(_throttle.endAll());
        _log(osk::CException::debug, osk::CMessage(t::kClosing, t::kModule));
        _handlers.closeAll();
        _log(osk::CException::debug, osk::CMessage(t::kShutDown, t::kModule));
        return 0;
    }

private:
    using clock = CRConsoleLoginThrottle::clock;
    using login_ptr = CRConsolePendingLogins::login_ptr;

    // How often quiet failure bursts are looked for.
    static constexpr int throttleSweepSeconds = 1;

    // The console settings that apply to a new connection.
    struct Settings {
        bool encryption = true;
        size_t maxPending = 0;
        size_t maxSessions = 0;
        ACE_Time_Value loginTimeout;
    };

    Settings _settings() const
    {
        Settings settings;
        osk::CConfigPtr config = controller()->config();
        osk::CConfigGuard guard(config);
        const osk::CConfigValues values(*config, osk::CConfigNames::framework());
        settings.encryption = values.flag(osk::CConfigNames::rconsoleEncryption());
        settings.maxPending = values.ulong(osk::CConfigNames::rconsoleMaxPendingLogins());
        settings.maxSessions = values.ulong(osk::CConfigNames::rconsoleMaxSessions());
        const unsigned long usec = values.usec(osk::CConfigNames::rconsoleLoginTimeout());
        settings.loginTimeout.set(static_cast<time_t>(usec / 1000000), static_cast<suseconds_t>(usec % 1000000));
        return settings;
    }

    static ACE_Time_Value _timeValue(clock::duration duration)
    {
        const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
        return ACE_Time_Value(static_cast<time_t>(usec / 1000000), static_cast<suseconds_t>(usec % 1000000));
    }

    // Sends the challenge and waits, on this reactor, for the response.
    void _beginLogin(login_ptr login, const Settings& settings)
    {
        if (!login->sendChallenge()) {
            _recordAndLogException(CRConsolePendingLogin::authorizeFailure(errno));
            return;
        }
        if (reactor()->register_handler(login->handle(), this,
                                        ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL) != 0) {
            const int err = errno;
            _log(osk::CException::error,
                 osk::CMessage(rconsole_acceptor_texts::kWatchFailed, rconsole_acceptor_texts::kModule)
                     .pushs(login->peerText()),
                 err);
            return;
        }
        login->timer(reactor()->schedule_timer(this, login.get(), settings.loginTimeout));
        _admit(std::move(login), settings.maxPending);
    }

    // Takes in what the peer sent; a complete response starts a handler.
    void _continueLogin(CRConsolePendingLogin* pending)
    {
        const CRConsolePendingLogin::Progress progress = pending->receive();
        if (progress == CRConsolePendingLogin::Progress::incomplete) return;
        const int err = errno;
        login_ptr login = _pending.take(pending);
        _unwatch(*login);
        if (progress == CRConsolePendingLogin::Progress::failed) {
            _recordAndLogException(CRConsolePendingLogin::authorizeFailure(err));
            return;
        }
        CRConsoleAdmission admission;
        admission.challenge = login->challenge();
        admission.response = login->response();
        _startHandler(std::move(login), admission, _settings());
    }

    // Creates and starts the connection's handler. Until the handler runs,
    // the login keeps the socket; a failed login gives it back.
    void _startHandler(login_ptr login, CRConsoleAdmission& admission, const Settings& settings)
    {
        if (settings.maxSessions != 0 && _handlers.size() >= settings.maxSessions)
            admission.sessionsFull = _handlers.size();
        Handler* handler = nullptr;
        try {
            handler = osk::CTrackedFactory::create<Handler>(controller(), login->handle(), this);
        } catch (const osk::CException& e) {
            _recordAndLogException(e);
            return;
        }
        handler->admission(admission);
        _handlers.add(handler);
        int started;
        try {
            started = handler->run();
        } catch (const osk::CException& e) {
            _recordAndLogException(e);
            started = -1;
        }
        if (started == 0) {
            login->releaseHandle();
            return;
        }
        _handlers.remove(handler);
        if (started == Handler::loginRefused) handler->releaseHandle();
        else login->releaseHandle();
        osk::CTrackedFactory::destroy(handler);
        if (started == Handler::loginRefused) _answerFailure(std::move(login), settings);
    }

    // Keeps a connection whose login failed until its delay is over.
    void _answerFailure(login_ptr login, const Settings& settings)
    {
        namespace t = rconsole_acceptor_texts;
        CRConsoleLoginThrottle::Outcome outcome = _throttle.failure(login->peerAddress(), clock::now());
        if (outcome.startsBurst)
            _log(osk::CException::audit, osk::CMessage(t::kLoginFailure, t::kModule).pushs(login->peerText()));
        _logBursts(outcome.ended);
        login->stage(CRConsolePendingLogin::Stage::answeringFailure);
        login->timer(reactor()->schedule_timer(this, login.get(), _timeValue(outcome.delay)));
        _admit(std::move(login), settings.maxPending);
    }

    void _admit(login_ptr login, size_t limit)
    {
        namespace t = rconsole_acceptor_texts;
        _pending.limit(limit);
        for (login_ptr& dropped : _pending.admit(std::move(login))) {
            _log(osk::CException::debug, osk::CMessage(t::kDroppedOldest, t::kModule).pushs(dropped->peerText()));
            _unwatch(*dropped);
        }
    }

    // Stops the reactor's watch over a login taken out of the set.
    void _unwatch(CRConsolePendingLogin& login)
    {
        if (login.timer() != -1) reactor()->cancel_timer(login.timer(), nullptr, 1);
        login.timer(-1);
        if (login.stage() == CRConsolePendingLogin::Stage::exchanging && login.handle() != ACE_INVALID_HANDLE)
            reactor()->remove_handler(login.handle(), ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL);
    }

    // Logs each burst of more than one failure once, with its count.
    void _logBursts(const std::vector<CRConsoleLoginThrottle::Burst>& bursts)
    {
        namespace t = rconsole_acceptor_texts;
        for (const CRConsoleLoginThrottle::Burst& burst : bursts) {
            if (burst.failures < 2) continue;
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(burst.length).count();
            _log(osk::CException::audit, osk::CMessage(t::kFailureBurst, t::kModule)
                                              .pushs(burst.source)
                                              .push(uint64_t(burst.failures))
                                              .push(int64_t(seconds)));
        }
    }

    // Opens one listen endpoint and counts it in opened.
    void _open(const std::string& piece, uint16_t port, bool encryption, size_t& opened)
    {
        namespace t = rconsole_acceptor_texts;
        osk::CEndpoint endpoint;
        try {
            // An address alone listens on the configured port.
            if (osk::CIPAddress::isValid(piece)) endpoint = osk::CEndpoint(osk::CIPAddress(piece), 0);
            else endpoint = osk::CEndpoint(piece);
        } catch (const osk::CException& e) {
            _recordAndLogException(e);
            _log(osk::CException::error, osk::CMessage(t::kListenFailed, t::kModule).pushs(piece));
            return;
        }
        if (endpoint.hbo_port() == 0) endpoint.hbo_port(port);
        std::unique_ptr<ACE_SOCK_Acceptor> acceptor(new (std::nothrow) ACE_SOCK_Acceptor);
        if (!acceptor) {
            _log(osk::CException::error, osk::CMessage(t::kCreateFailed, t::kModule));
            return;
        }
        const ACE_INET_Addr address = endpoint.ace_addr();
        if (acceptor->open(address, 1, PF_UNSPEC, 5, 0) != 0) {
            const int err = errno;
            _log(osk::CException::error, osk::CMessage(t::kListenFailed, t::kModule).pushs(piece), err);
            return;
        }
        ++opened;
        ACE_INET_Addr bound;
        if (acceptor->get_local_addr(bound) == 0) {
            if (opened == 1) {
                std::string value = std::to_string(bound.get_port_number());
                if (!encryption) value += t::kClearSuffix;
                controller()->registerQueryResponse(t::kQueryPort, value);
                controller()->registerQueryResponse(t::kConfigPort, value);
            }
            endpoint.hbo_port(bound.get_port_number());
        }
        const ACE_HANDLE handle = acceptor->get_handle();
        if (reactor()->register_handler(handle, this,
                                        ACE_Event_Handler::ACCEPT_MASK | ACE_Event_Handler::DONT_CALL) != 0) {
            const int err = errno;
            acceptor->close();
            _log(osk::CException::error, osk::CMessage(t::kRegisterFailed, t::kModule).pushs(piece), err);
            return;
        }
        _acceptors[handle] = acceptor.release();
        _endpoints.push_back(endpoint);
        _log(osk::CException::debug, osk::CMessage(t::kListening, t::kModule).pushs(endpoint.string()));
        return;
    }

    void _closeAcceptors()
    {
        for (auto& entry : _acceptors) {
            reactor()->remove_handler(entry.first, ACE_Event_Handler::ACCEPT_MASK | ACE_Event_Handler::DONT_CALL);
            entry.second->close();
            delete entry.second;
        }
        _acceptors.clear();
    }

    void _log(uint32_t severity, const osk::CMessage& message, int errCode = 0)
    {
        controller()->syslog(severity, message, errCode);
    }

    void _recordAndLogException(const osk::CException& exception)
    {
        osk::CExceptionFacade& facade = controller()->exceptionFacade();
        exception.record(facade);
        facade.log();
    }

    CRConsoleHandlerSet _handlers;
    CRConsolePendingLogins _pending;
    CRConsoleLoginThrottle _throttle;
    std::map<int, ACE_SOCK_Acceptor*> _acceptors;
    std::vector<osk::CEndpoint> _endpoints;
};
