#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "ace_ext/general_reactor_types.h"
#include "extended/command_queue_task.h"
#include "rconsole_base/rconsole_admission.h"
#include "rconsole_base/rconsole_command_reader.h"
#include "rconsole_base/text_command.h"
#include "security/blowfish.h"
#include "standard/endpoint.h"
#include "standard/hex_store.h"
#include "standard/sock_stream.h"
#include "standard/string_map.h"

class ACE_Time_Value;
class CIRConsoleMaster;
struct rconsole_auth_protocol;

// One administrative console connection: a task with one thread and its own
// reactor. The acceptor has already exchanged the login blocks with the
// peer; _init() checks them (no network wait) and _daemon() greets
// the console and then reads command sets, dispatches each to the function
// registered for its command word and writes the replies. After the login
// everything travels enciphered unless console encryption is off.
class CRConsoleHandler : public osk::CCommandQueueTask<osk::CMTReactor> {
public:
    // A command: the handler and the arguments (every line of the command
    // set, the command word's own line included). It writes its own reply.
    using handler_t = void (*)(CRConsoleHandler*, osk::CStringMap&);
    using command_table_t = std::map<std::string, handler_t>;

    static const char* const taskName;
    // Largest read of one input event.
    static constexpr size_t readSize = 16384;
    // run() result when the login failed. The socket is then left open for
    // the acceptor to take back (releaseHandle) and answer the failure.
    static constexpr int loginRefused = 3;
    // run() result when the login succeeded but no more consoles are allowed.
    static constexpr int consoleFull = 6;

    // Takes over the accepted socket and fills the base command table.
    CRConsoleHandler(osk::CMasterController* controller, int handle, CIRConsoleMaster* master);
    ~CRConsoleHandler() override;

    // The login exchange and the room for consoles; set before run().
    void admission(const CRConsoleAdmission& admission) { _admission = admission; }
    // Gives the socket back to the caller after a failed run(); the handler
    // no longer closes it.
    ACE_HANDLE releaseHandle();

    // Reactor upcall on the handler's thread when the socket is readable.
    int handle_input(ACE_HANDLE handle) override;

    // Writes to the console. A final reply ends with exactly one empty
    // line; a partial one is sent in multiples of 8 bytes, the rest held
    // back for the next reply. Throws "Failed to send to remote peer '%1'.".
    bool reply(const std::string& text, bool final);
    bool reply(const CTextCommand& command, bool final);

    // Enciphered or clear by the encryption flag.
    ssize_t sendData(const void* data, size_t length);
    ssize_t recvData(void* buffer, size_t length, const ACE_Time_Value* timeout);

    osk::CBlowfish& passwordCipher() { return _passwordCipher; }
    osk::CBlowfish& streamCipher() { return _streamCipher; }
    bool encryption() const { return _encryption; }
    // Every registered command word with an empty value.
    osk::CStringMap getCommandSet() const;
    // The peer's address; throws "Cannot determine peer endpoint.".
    osk::CEndpoint peerEndpoint() const;
    // The peer as text for log messages, taken once at the start.
    const std::string& peerText() const { return _peerText; }

    // The password cipher's string operations.
    osk::CHexStore encryptPassword(const std::string& plain) const;
    // A single space when the store or the deciphered text is empty.
    std::string decryptPassword(const osk::CHexStore& enciphered) const;

protected:
    // Throws the security exception unless the session is an administrator.
    virtual void _throwIfNotAdmin() const = 0;
    // The administrator login over the exchange of the admission.
    // challenge and response receive the 1024 bytes sent and received.
    virtual bool _authorized(osk::CHexStore& challenge, osk::CHexStore& response);
    virtual bool onConnect() = 0;
    virtual bool onDisconnect() = 0;
    // The greeting, the first text the console receives.
    virtual std::string onHeader();
    // A command word nobody registered; true when the lines were handled.
    virtual bool _processUnknownCommandSet(std::vector<std::string>& lines);
    // Registers (or replaces) the function for a command word.
    virtual void _setHandler(const std::string& command, handler_t handler);

    int _init() override;
    int _daemon() override;

    ssize_t _sendClear(const void* data, size_t length);
    ssize_t _recvClear(void* buffer, size_t length, const ACE_Time_Value* timeout);
    ssize_t _sendEncrypted(const void* data, size_t length);
    ssize_t _recvDeciphered(void* buffer, size_t length, const ACE_Time_Value* timeout);
    void _disableEncryption() { _encryption = false; }

    bool _initPasswordCipher();
    // The administrator password in clear (one space when none is stored).
    void _getPassword(std::string& out) const;
    // Stores a new administrator password and writes the configuration.
    bool _setPassword(const std::string& plain);
    static size_t _maxPasswordLength(const rconsole_auth_protocol* block);

    // Runs a complete command set; false when the connection must close.
    bool _processCommandSet(std::vector<std::string>& lines);

    const std::string& _locale() const { return _sessionLocale; }
    // Sets the session locale when the message store has it among its
    // locales and returns an empty text. Otherwise the session takes the
    // store's default locale, and the warning "Cannot set locale '%1' for
    // login session. ..." is logged and returned.
    std::string _setLocale(const std::string& locale);
    const std::string& _getUser() const { return _user; }
    void _setUser(const std::string& name) { _user = name; }

    // Base commands.
    static void _handleInfo(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleHelp(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleSetPassword(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleSetMemTrack(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleGetMemTrack(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleGetUntracked(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleCountMemTrack(CRConsoleHandler* handler, osk::CStringMap& args);
    static void _handleTotalMemTrack(CRConsoleHandler* handler, osk::CStringMap& args);

private:
    void _log(uint32_t severity, const osk::CMessage& message, int errCode = 0);
    void _recordAndLog(const osk::CException& exception);
    void _removeFromReactor();
    void _leave();
    // Closes the socket after the failed start-up step and returns code.
    int _refuse(int code);
    // Tells a console that logged in that there is no room and closes.
    int _refuseFull();

    CRConsoleAdmission _admission;
    std::string _pendingReply;
    CRConsoleCommandReader _input;
    mutable osk::CBlowfish _passwordCipher;
    osk::CBlowfish _streamCipher;
    bool _encryption = true;
    osk::CSockStream _stream;
    CIRConsoleMaster* _master;
    command_table_t _commands;
    std::vector<std::string> _lastCommandSet;
    bool _disconnecting = false;
    bool _registered = false;
    std::string _sessionLocale;
    std::string _user;
    std::string _peerText;
};
