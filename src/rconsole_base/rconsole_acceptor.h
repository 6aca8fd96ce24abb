#pragma once

#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Stream.h>

#include <cerrno>
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
#include "rconsole_base/rconsole_handler_set.h"
#include "standard/endpoint.h"
#include "standard/interface_enum.h"
#include "standard/ip_address.h"
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
} // namespace rconsole_acceptor_texts

// Listens on the configured TCP endpoints for consoles. Every accepted
// connection gets a Handler task of its own, kept in the handler set until
// its peer goes away. The acceptor's one thread runs _init(), accepting,
// the deactivation commands and the final clean-up, so the set and the
// acceptor map need no lock.
//
// Handler is constructed with (CMasterController*, int handle,
// CIRConsoleMaster*) and is an osk::CITask.
template <class Handler>
class CRConsoleAcceptor : public osk::CCommandQueueTask<osk::CMTReactor>, public CIRConsoleMaster {
public:
    // run() returns this when no endpoint could be opened.
    static constexpr int noEndpoint = 2;

    explicit CRConsoleAcceptor(osk::CMasterController* controller)
        : osk::CCommandQueueTask<osk::CMTReactor>(controller, rconsole_acceptor_texts::kTaskName, 1),
          _handlers(controller)
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
        Handler* handler = nullptr;
        try {
            handler = osk::CTrackedFactory::create<Handler>(controller(), stream.get_handle(), this);
        } catch (const osk::CException& e) {
            stream.close();
            _recordAndLogException(e);
            return 0;
        }
        _handlers.add(handler);
        int started;
        try {
            started = handler->run();
        } catch (const osk::CException& e) {
            _recordAndLogException(e);
            started = -1;
        }
        if (started != 0) {
            // The handler owns the accepted socket and has closed it; closing
            // the number again could hit a descriptor opened meanwhile.
            _handlers.remove(handler);
            osk::CTrackedFactory::destroy(handler);
        }
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
        return opened ? 0 : noEndpoint;
    }

    int _daemon() override
    {
        namespace t = rconsole_acceptor_texts;
        _pumpReactor(nullptr);
        _closeAcceptors();
        _log(osk::CException::debug, osk::CMessage(t::kClosing, t::kModule));
        _handlers.closeAll();
        _log(osk::CException::debug, osk::CMessage(t::kShutDown, t::kModule));
        return 0;
    }

private:
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
    std::map<int, ACE_SOCK_Acceptor*> _acceptors;
    std::vector<osk::CEndpoint> _endpoints;
};
