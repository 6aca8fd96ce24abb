#pragma once

#include <string>

#include "rconsole_base/i_direct_reply_proxy.h"
#include "rconsole_base/rconsole_handler.h"
#include "security/user_access_token.h"

// The console connection handler of the TFTP service: the generic handler
// with the service's greeting, the check that the plug-in runs inside the
// TFTP service, the session's access token, and the streaming operations
// through which long commands send records to the console.
class CTFTPRConsoleHandler : public CRConsoleHandler, public CIDirectReplyProxy {
public:
    // The controller type() of the TFTP service's controller. onConnect()
    // accepts only a controller that reports it, so the console serves no
    // other application that might load this library.
    static const char* const tftpControllerType;

    CTFTPRConsoleHandler(osk::CMasterController* controller, int handle, CIRConsoleMaster* master);
    ~CTFTPRConsoleHandler() override = default;

    // CIDirectReplyProxy.
    bool raw(const std::string& text, bool final) override;
    // The record's lines and a "-" line, as partial replies.
    bool cooked(const osk::CStringMap& record) override;
    // The closing, final reply.
    bool cookedComplete(const CTextCommand& reply) override;

    // A copy of the session's token.
    osk::CUserAccessToken _accessToken() const { return _token; }

protected:
    void _throwIfNotAdmin() const override;
    // The administrator login of the base; a successful one (or any
    // connection when encryption is off) gets full rights in the
    // administrators' domain.
    bool _authorized(osk::CHexStore& challenge, osk::CHexStore& response) override;
    bool onConnect() override;
    bool onDisconnect() override;
    // "Connected to <application> on <host>. Use <exit> to disconnect."
    std::string onHeader() override;

private:
    osk::CUserAccessToken _token;
};
