#pragma once

#include <string>

#include "extended/exception.h"
#include "rconsole_base/rconsole_acceptor.h"
#include "rconsole_base/rconsole_handler.h"
#include "security/access_id.h"
#include "security/security_exception.h"

namespace zelvo_test {

// The generic handler with test commands. A session is an administrator
// when it logged in as the administrator or when encryption is off.
class CTestConsoleHandler : public CRConsoleHandler {
public:
    CTestConsoleHandler(osk::CMasterController* controller, int handle, CIRConsoleMaster* master)
        : CRConsoleHandler(controller, handle, master)
    {
        _setHandler("partial", &CTestConsoleHandler::_partial);
        _setHandler("send3", &CTestConsoleHandler::_send3);
        _setHandler("empty", &CTestConsoleHandler::_empty);
        _setHandler("fail", &CTestConsoleHandler::_fail);
        _setHandler("echo", &CTestConsoleHandler::_echo);
    }

protected:
    void _throwIfNotAdmin() const override
    {
        if (!encryption() || _getUser() == osk::CAccessID::superUserName()) return;
        throw OSK_EXCEPTION(osk::CMessage("Not an administrator."), osk::CMessage(), "CTestConsoleHandler",
                            "rconsole_base");
    }
    bool onConnect() override { return true; }
    bool onDisconnect() override { return true; }

private:
    // A partial reply of "size" bytes and nothing more.
    static void _partial(CRConsoleHandler* handler, osk::CStringMap& args)
    {
        handler->reply(std::string(args.get_ulong("size", 0UL), 'p'), false);
    }
    static void _send3(CRConsoleHandler* handler, osk::CStringMap&) { handler->sendData("abc", 3); }
    static void _empty(CRConsoleHandler* handler, osk::CStringMap&) { handler->reply(std::string(), true); }
    static void _fail(CRConsoleHandler*, osk::CStringMap&)
    {
        throw OSK_EXCEPTION(osk::CMessage("Test command failed with %1.").pushs("reason"), osk::CMessage("Because."),
                            "CTestConsoleHandler::_fail", "rconsole_base");
    }
    // The arguments as received, as an ack reply.
    static void _echo(CRConsoleHandler* handler, osk::CStringMap& args)
    {
        CTextCommand answer;
        answer.data(args);
        handler->reply(answer, true);
    }
};

using CTestAcceptor = CRConsoleAcceptor<CTestConsoleHandler>;

} // namespace zelvo_test
