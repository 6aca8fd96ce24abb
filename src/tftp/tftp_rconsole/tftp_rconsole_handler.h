#pragma once

#include <memory>
#include <string>
#include <vector>

#include "rconsole_base/i_direct_reply_proxy.h"
#include "rconsole_base/rconsole_handler.h"
#include "security/domain_id.h"
#include "security/table_rights.h"
#include "security/user_access_token.h"
#include "tftp/tftp_database/tftp_format_type.h"
#include "tftp/tftp_interfaces/i_tftp_event_subscriber.h"

class CConnectorProxyTask;
class CITFTPController;

// The console connection handler of the TFTP service: the generic handler
// with the service's greeting and command set, the check that the plug-in
// runs inside the TFTP service, the session's access token, and the
// streaming operations through which long commands send records to the
// console.
//
// A connection can also watch transfer events itself ("watch"): it then
// subscribes in-process and every event arrives on the connection's own
// thread, where it is written to the console as a record of its own.
class CTFTPRConsoleHandler : public CRConsoleHandler, public CIDirectReplyProxy, public CITFTPEventSubscriber {
public:
    // The operations of the object commands, one handler each.
    enum object_op { opSelect, opSelectNext, opCount, opInsert, opUpdate, opDelete };

    CTFTPRConsoleHandler(osk::CMasterController* controller, int handle, CIRConsoleMaster* master);
    ~CTFTPRConsoleHandler() override;

    // CIDirectReplyProxy.
    bool raw(const std::string& text, bool final) override;
    // The record's lines and a "-" line, as partial replies.
    bool cooked(const osk::CStringMap& record) override;
    // The closing, final reply.
    bool cookedComplete(const CTextCommand& reply) override;

    // CITFTPEventSubscriber: while watching, writes the event's lines and a
    // "-" line as a reply of its own (flushed at once).
    void handleEvent(const osk::CAppEventPtr& event) override;
    bool watching() const { return _watching; }

    // The controller as the TFTP service's controller; throws when the
    // console runs inside another application.
    CITFTPController* tftpController() const;
    // True when the UDP publisher plug-in is loaded; otherwise replies nak
    // "The publisher plugin is not loaded" and returns false.
    bool verifyPublisher();

    // The session's database proxy, created and started on first use;
    // throws "Failed to start the proxy task." with the cause.
    CConnectorProxyTask* proxyTask();

    // A copy of the session's token.
    osk::CUserAccessToken _accessToken() const { return _token; }
    void _setAccessToken(const osk::CUserAccessToken& token) { _token = token; }
    // The session token made of a login's rights and create rights.
    void _setAccessToken(const osk::CTableRights& rights, const std::vector<osk::CDomainID>& createRights);

    // The service's commands.
    static void handleHelp(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleInfo(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleGetProperties(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleSetProperties(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleGetPlugins(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleFDCount(CRConsoleHandler* handler, osk::CStringMap& args);
    // The transfer counters, the same entries as the "query_stats" answer.
    static void handleStats(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleSubscribe(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleUnsubscribe(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleArchiveCount(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleClearArchive(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleAbort(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleSetSession(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleGetSession(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleGetPrstObjectNames(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleGetAliases(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleDump(CRConsoleHandler* handler, osk::CStringMap& args);
    // An object command: the operation op on objects of class T.
    template <class T, object_op Op>
    static void handleObject(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleDisableEncryption(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleWatch(CRConsoleHandler* handler, osk::CStringMap& args);
    static void handleUnwatch(CRConsoleHandler* handler, osk::CStringMap& args);

protected:
    void _throwIfNotAdmin() const override;
    // The administrator login of the base; a successful one (or any
    // connection when encryption is off) gets full rights in the
    // administrators' domain. A response that names an account logs in
    // with that account's password and rights from the database.
    bool _authorized(osk::CHexStore& challenge, osk::CHexStore& response) override;
    bool onConnect() override;
    // Ends the event subscription of a watching connection.
    bool onDisconnect() override;
    // "Connected to <application> on <host>. Use <exit> to disconnect."
    std::string onHeader() override;

private:
    // Records the exception in the facade, replies nak with its printable
    // text in the session locale and clears the facade.
    void _nakPrintable(const osk::CException& e);
    // The same with the facade's minimal message.
    void _nakMinimal(const osk::CException& e);
    void _nak(const std::string& message);
    // The administrator's token (and locale, when the database is consulted).
    void _administratorLogin();
    // The clear password of account from its stored text; throws "Cannot
    // login using account '%1'." when it cannot be read.
    std::string _accountPassword(const std::string& account, const std::string& stored) const;
    void _subscription(osk::CStringMap& args, bool subscribe);
    // The checks of set_properties: every value by its key's rule (as the
    // service's start checks them), then a literal virtual root against the
    // file system. An empty text when the change may be stored, otherwise
    // the nak message, which names the key.
    std::string _checkProperties(const osk::CStringMap& changes) const;
    // True for a change that is stored in the file but left out of the
    // running configuration until a restart (turning console encryption
    // off).
    static bool _waitsForRestart(const std::string& key, const std::string& value);
    void _stopWatching();
    // Registers the object commands of class T: for each operation in the
    // order insert, delete, update, select, select next, count, the word
    // of words (the operation's name then the class's) and its short form
    // (empty: none).
    template <class T>
    void _setObjectHandlers(const std::string& name, const std::string& shortName);
    // The same with several names and short names for the class.
    template <class T>
    void _setObjectWords(const std::vector<std::string>& names, const std::vector<std::string>& shortNames);
    // Registers insert, update and delete only, without short forms.
    template <class T>
    void _setChangeWords(const std::string& name);
    // Registers select and select next only.
    template <class T>
    void _setSelectWords(const std::string& name, const std::string& shortName);
    // Replaces a clear "pass" of a user account's request by its
    // enciphered text (the form the login deciphers).
    void _encipherPassword(osk::CStringMap& request) const;
    // The request of an object command: the arguments without the command
    // words.
    osk::CStringMap _objectRequest(const osk::CStringMap& args) const;
    void _shutdownProxy() noexcept;

    osk::CUserAccessToken _token;
    // Session settings of the object commands: domains written as numeric
    // ids instead of names, and the text format of policies.
    bool _serializeNumeric = false;
    CTFTPFormatType _formatType;
    bool _watching = false;
    CConnectorProxyTask* _proxy = nullptr;
};
