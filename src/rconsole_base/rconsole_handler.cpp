#include "rconsole_base/rconsole_handler.h"

#include <ace/Time_Value.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>
#include <sstream>

#include "extended/config.h"
#include "extended/config_names.h"
#include "extended/config_values.h"
#include "rconsole_base/i_rconsole_master.h"
#include "rconsole_base/rconsole_auth_protocol.h"
#include "rconsole_base/rconsole_login.h"
#include "rconsole_base/rconsole_wire.h"
#include "security/access_id.h"
#include "standard/mem_track.h"
#include "standard/string_util.h"

namespace {
const char* const kModule = "rconsole_base";

// Texts of the console connection.
const char* const kDefaultHeader = "Connected to this server.";
const char* const kRegisterFailed =
    "Failed to register a descriptor with a remote console reactor while servicing peer %1.";
const char* const kConnectFailed = "Failed to initialize a remote console connection while servicing peer %1.";
const char* const kConnectFrom = "Connect from %1.";
const char* const kDisconnectFrom = "Disconnect from %1.";
const char* const kInputIgnored = "RConsole handler input ignored during disconnect.";
const char* const kNoCommand = "No command specified.";
const char* const kUnknownLogged = "RConsole received unknown command '%1' from peer %2.";
const char* const kUnrecognized = "Unrecognized command.";
const char* const kCommandLogged = "RConsole received command '%1' from peer %2.";
const char* const kTooLong = "Command set is too long.";
const char* const kEmptyTransmission =
    "The RConsole is ending a transmission with no data. This can confuse stateless clients.";
const char* const kSendFailed = "Failed to send to remote peer '%1'.";
const char* const kNoPeer = "Cannot determine peer endpoint.";
const char* const kOverriding = "Overriding an existing handler for remote console command '%1'.";
const char* const kVersionRefused = "Failed to authorize login for peer on '%1' using login protocol version %2.";
const char* const kMinimumVersion = "The minimum required version is %1.";
const char* const kPasswordFailed = "Failed to change the password.";
const char* const kPasswordEmpty = "The new password is empty. Send it as 'admin_password=NEW-PASSWORD'.";
const char* const kPasswordChanged = "Admin password change succeeded by user '%1' from %2.";
const char* const kPasswordNotChanged = "Admin password change failed by user '%1' from %2.";
const char* const kMemTrackSet = "Memory tracking set to '%1'.";
const char* const kConsoleFull = "No more consoles can log in: %1 are logged in, the most allowed. Try again later.";
const char* const kConsoleFullLogged = "Console login from %1 turned away: %2 consoles are logged in, the most allowed.";
const char* const kUnknownLocale = "Cannot set locale '%1' for login session. The available locales are: %2.";
const char* const kUnknownPeer = "<unknown peer>";
const char* const kPrintLocale = "en_US";

// Command words.
const char* const kInfo = "info";
const char* const kHelp = "help";
const char* const kAdminPassword = "admin_password";
const char* const kSetMemTrack = "set_memtrack";
const char* const kGetMemTrack = "get_memtrack";
const char* const kGetUntracked = "get_untracked";
const char* const kCountMemTrack = "count_memtrack";
const char* const kTotalMemTrack = "total_memtrack";

// Stored passwords are hexadecimal pairs joined by this.
const char* const kPasswordSeparator = "-";

// The registry of the keys the console reads, with their defaults.
const osk::CConfigNames& keys() { return osk::CConfigNames::framework(); }

bool isExitWord(const std::string& line) { return line == "exit" || line == "bye" || line == "quit"; }

// The task names of a "tasks" argument; empty selects every task.
std::set<std::string> taskSelection(const osk::CStringMap& args)
{
    const std::vector<std::string> names = osk::CStringUtil::split(args.get_string("tasks", ""));
    return std::set<std::string>(names.begin(), names.end());
}

std::string pointerText(const void* pointer)
{
    std::ostringstream out;
    out << pointer;
    return out.str();
}

void waitArgument(const osk::CStringMap& args)
{
    const unsigned long seconds = args.get_ulong("wait", 0UL);
    if (seconds) ::sleep(static_cast<unsigned>(seconds));
}
} // namespace

const char* const CRConsoleHandler::taskName = "rconsole-handler";

CRConsoleHandler::CRConsoleHandler(osk::CMasterController* controller, int handle, CIRConsoleMaster* master)
    : osk::CCommandQueueTask<osk::CMTReactor>(controller, taskName, 1), _stream(handle), _master(master)
{
    _setHandler(kInfo, &CRConsoleHandler::_handleInfo);
    _setHandler(kHelp, &CRConsoleHandler::_handleHelp);
    _setHandler(kAdminPassword, &CRConsoleHandler::_handleSetPassword);
    _setHandler(kSetMemTrack, &CRConsoleHandler::_handleSetMemTrack);
    _setHandler(kGetMemTrack, &CRConsoleHandler::_handleGetMemTrack);
    _setHandler(kGetUntracked, &CRConsoleHandler::_handleGetUntracked);
    _setHandler(kCountMemTrack, &CRConsoleHandler::_handleCountMemTrack);
    _setHandler(kTotalMemTrack, &CRConsoleHandler::_handleTotalMemTrack);
}

CRConsoleHandler::~CRConsoleHandler()
{
    try {
        _removeFromReactor();
    } catch (...) {
        // Nothing to report from a destructor.
    }
    _stream.close();
}

// ---- connection ----------------------------------------------------------

int CRConsoleHandler::_init()
{
    try {
        _peerText = peerEndpoint().string();
    } catch (const osk::CException&) {
        _peerText = kUnknownPeer;
    }
    _sessionLocale = controller()->msgStore().defLocale();
    if (!_initPasswordCipher()) return _refuse(1);
    try {
        // The acceptor decided on the exchange; a configuration changed since
        // must not let this connection skip the check.
        _encryption = _admission.encryption;
        osk::CHexStore challenge(CRConsoleLogin::blockLength);
        osk::CHexStore response(CRConsoleLogin::blockLength);
        if (!_authorized(challenge, response)) {
            // The acceptor answers the failure after its delay and logs it.
            onDisconnect();
            return loginRefused;
        }
        if (_admission.sessionsFull) return _refuseFull();
        if (reactor()->register_handler(_stream.get_handle(), this,
                                        ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL) != 0) {
            const int err = errno;
            onDisconnect();
            _log(osk::CException::error, osk::CMessage(kRegisterFailed, kModule).pushs(_peerText), err);
            return _refuse(4);
        }
        _registered = true;
        if (!onConnect()) {
            onDisconnect();
            _removeFromReactor();
            _log(osk::CException::error, osk::CMessage(kConnectFailed, kModule).pushs(_peerText));
            return _refuse(5);
        }
        return 0;
    } catch (const osk::CException& e) {
        try {
            onDisconnect();
            _removeFromReactor();
        } catch (const osk::CException& inner) {
            _recordAndLog(inner);
        }
        _recordAndLog(e);
        return _refuse(20);
    }
}

int CRConsoleHandler::_daemon()
{
    try {
        _log(osk::CException::audit, osk::CMessage(kConnectFrom, kModule).pushs(_peerText));
        reply(onHeader(), true);
        _pumpReactor(nullptr);
        onDisconnect();
        _removeFromReactor();
        _stream.close();
        _log(osk::CException::audit, osk::CMessage(kDisconnectFrom, kModule).pushs(_peerText));
    } catch (const osk::CException& e) {
        _recordAndLog(e);
        try {
            _removeFromReactor();
        } catch (const osk::CException& inner) {
            _recordAndLog(inner);
        }
        _stream.close();
    }
    // Ended without being told to stop (the greeting could not be sent, or
    // the pump gave up): ask the master to collect this handler.
    if (!stopping()) _leave();
    return 0;
}

int CRConsoleHandler::_refuse(int code)
{
    _stream.close();
    return code;
}

int CRConsoleHandler::_refuseFull()
{
    _log(osk::CException::warning,
         osk::CMessage(kConsoleFullLogged, kModule).pushs(_peerText).push(uint64_t(_admission.sessionsFull)));
    CTextCommand refusal(CTextCommand::nak);
    refusal.errorMsg(osk::CMessage(kConsoleFull, kModule).push(uint64_t(_admission.sessionsFull)).formatted());
    try {
        reply(refusal, true);
    } catch (const osk::CException& e) {
        _recordAndLog(e);
    }
    onDisconnect();
    return _refuse(consoleFull);
}

ACE_HANDLE CRConsoleHandler::releaseHandle()
{
    const ACE_HANDLE handle = _stream.get_handle();
    _stream.set_handle(ACE_INVALID_HANDLE);
    return handle;
}

void CRConsoleHandler::_removeFromReactor()
{
    if (!_registered) return;
    _registered = false;
    reactor()->remove_handler(_stream.get_handle(), ACE_Event_Handler::READ_MASK | ACE_Event_Handler::DONT_CALL);
}

void CRConsoleHandler::_leave()
{
    if (_disconnecting) return;
    _disconnecting = true;
    if (_master) _master->deactivate(this);
}

osk::CEndpoint CRConsoleHandler::peerEndpoint() const
{
    try {
        return _stream.remote_endpoint();
    } catch (const osk::CException& e) {
        throw osk::CException(osk::CMessage(kNoPeer), osk::CMessage(std::strerror(e.err_code())),
                              "CRConsoleHandler::peerEndpoint", kModule, __FILE__, __LINE__, osk::CException::error,
                              e.err_code());
    }
}

std::string CRConsoleHandler::onHeader() { return kDefaultHeader; }

bool CRConsoleHandler::_processUnknownCommandSet(std::vector<std::string>&) { return false; }

void CRConsoleHandler::_setHandler(const std::string& command, handler_t handler)
{
    auto found = _commands.find(command);
    if (found != _commands.end()) {
        _log(osk::CException::verbose, osk::CMessage(kOverriding, kModule).pushs(command));
        found->second = handler;
        return;
    }
    _commands.emplace(command, handler);
}

osk::CStringMap CRConsoleHandler::getCommandSet() const
{
    osk::CStringMap words;
    for (const auto& entry : _commands) words.string_insert(entry.first, "");
    return words;
}

// ---- input and dispatch --------------------------------------------------

int CRConsoleHandler::handle_input(ACE_HANDLE)
{
    if (_disconnecting) {
        _log(osk::CException::debug, osk::CMessage(kInputIgnored, kModule));
        return 0;
    }
    std::vector<char> buffer(readSize, 0);
    const ssize_t received = recvData(buffer.data(), buffer.size(), nullptr);
    if (received == 0 || (received < 0 && errno != ETIME)) {
        _removeFromReactor();
        _leave();
        return 0;
    }
    if (received < 0) return 0;
    _input.append(buffer.data(), static_cast<size_t>(received));
    if (!_input.complete()) return 0;

    // Text after the blank line in the same read is dropped with the reset.
    std::vector<std::string> lines;
    lines.swap(_input.lines());
    const bool overflowed = _input.overflowed();
    _input.reset();
    bool keep = true;
    try {
        if (overflowed) {
            CTextCommand refusal(CTextCommand::nak);
            refusal.errorMsg(kTooLong);
            reply(refusal, true);
        } else {
            keep = _processCommandSet(lines);
        }
    } catch (...) {
        _pendingReply.clear();
        throw;
    }
    if (!keep) {
        _removeFromReactor();
        _leave();
        return 0;
    }
    _pendingReply.clear();
    return 0;
}

bool CRConsoleHandler::_processCommandSet(std::vector<std::string>& lines)
{
    if (lines.empty()) {
        if (_lastCommandSet.empty()) {
            CTextCommand refusal(CTextCommand::nak);
            refusal.errorMsg(kNoCommand);
            reply(refusal, true);
            return true;
        }
    } else {
        _lastCommandSet = lines;
    }
    const std::vector<std::string> commandSet = _lastCommandSet;
    if (isExitWord(commandSet.front())) return false;

    std::string logText;
    for (const auto& line : commandSet) logText += line + "\\n";

    const osk::CStringMap first(commandSet.front(), "\n", 0, false);
    const std::string word = first.empty() ? std::string() : first.begin()->first;
    const auto found = first.empty() ? _commands.end() : _commands.find(word);
    if (found == _commands.end()) {
        _log(osk::CException::debug, osk::CMessage(kUnknownLogged, kModule).pushs(logText).pushs(_peerText));
        std::vector<std::string> unknown = commandSet;
        if (!_processUnknownCommandSet(unknown)) {
            CTextCommand refusal(CTextCommand::nak);
            refusal.errorMsg(kUnrecognized);
            reply(refusal, true);
        }
        return true;
    }
    // Password changes are never written to the log.
    if (word != kAdminPassword)
        _log(osk::CException::debug, osk::CMessage(kCommandLogged, kModule).pushs(logText).pushs(_peerText));
    osk::CStringMap args;
    for (const auto& line : commandSet) args += line;
    try {
        found->second(this, args);
    } catch (const osk::CException& e) {
        CTextCommand refusal(CTextCommand::nak);
        refusal.errorMsg(e.printableError(nullptr, kPrintLocale));
        reply(refusal, true);
    }
    return true;
}

// ---- output ----------------------------------------------------------------

bool CRConsoleHandler::reply(const CTextCommand& command, bool final) { return reply(command.string(), final); }

bool CRConsoleHandler::reply(const std::string& text, bool final)
{
    std::string out = _pendingReply + text;
    if (final) {
        while (!out.empty() && out.back() == '\n') out.pop_back();
        if (out.empty()) {
            _log(osk::CException::warning, osk::CMessage(kEmptyTransmission, kModule));
            out = "\n";
        } else {
            out += "\n\n";
        }
    } else {
        if (out.size() < CRConsoleWire::blockSize) {
            _pendingReply = out;
            return true;
        }
        const size_t keep = out.size() % CRConsoleWire::blockSize;
        _pendingReply = out.substr(out.size() - keep);
        out.resize(out.size() - keep);
    }
    if (sendData(out.data(), out.size()) < 0) {
        const int err = errno;
        throw osk::CException(osk::CMessage(kSendFailed).pushs(_peerText), osk::CMessage(std::strerror(err)),
                              "CRConsoleHandler::reply", kModule, __FILE__, __LINE__, osk::CException::error, err);
    }
    if (final) _pendingReply.clear();
    return true;
}

// ---- transport -------------------------------------------------------------

ssize_t CRConsoleHandler::sendData(const void* data, size_t length)
{
    return _encryption ? _sendEncrypted(data, length) : _sendClear(data, length);
}

ssize_t CRConsoleHandler::recvData(void* buffer, size_t length, const ACE_Time_Value* timeout)
{
    return _encryption ? _recvDeciphered(buffer, length, timeout) : _recvClear(buffer, length, timeout);
}

ssize_t CRConsoleHandler::_sendClear(const void* data, size_t length)
{
    return CRConsoleWire::sendClear(_stream, data, length);
}

ssize_t CRConsoleHandler::_recvClear(void* buffer, size_t length, const ACE_Time_Value* timeout)
{
    return CRConsoleWire::recvClear(_stream, buffer, length, timeout);
}

ssize_t CRConsoleHandler::_sendEncrypted(const void* data, size_t length)
{
    return CRConsoleWire::sendEncrypted(_stream, _streamCipher, data, length);
}

ssize_t CRConsoleHandler::_recvDeciphered(void* buffer, size_t length, const ACE_Time_Value* timeout)
{
    return CRConsoleWire::recvDeciphered(_stream, _streamCipher, buffer, length, timeout);
}

// ---- login and passwords -------------------------------------------------

bool CRConsoleHandler::_initPasswordCipher()
{
    // The controller keeps the key: it was read before the privileges were
    // dropped, and the file may not be readable any more.
    try {
        _passwordCipher = controller()->passwordCipher();
        return true;
    } catch (const osk::CException& e) {
        _recordAndLog(e);
        return false;
    }
}

osk::CHexStore CRConsoleHandler::encryptPassword(const std::string& plain) const
{
    osk::CHexStore out(osk::CHexStore::inlineCapacity, kPasswordSeparator);
    _passwordCipher.encrypt_string(plain, out);
    out.separator(kPasswordSeparator);
    return out;
}

std::string CRConsoleHandler::decryptPassword(const osk::CHexStore& enciphered) const
{
    if (enciphered.empty()) return " ";
    std::string text;
    _passwordCipher.decrypt_string(enciphered, text);
    return text.empty() ? std::string(" ") : text;
}

void CRConsoleHandler::_getPassword(std::string& out) const
{
    const std::string key = osk::CConfigNames::rconsolePassword();
    const std::string text = controller()->config()->get_string(key, keys().defaults().get_string(key));
    out = decryptPassword(osk::CHexStore(text, kPasswordSeparator));
}

bool CRConsoleHandler::_setPassword(const std::string& plain)
{
    const std::string text = encryptPassword(plain).string();
    osk::CConfigPtr config = controller()->config();
    // The new password and the file written from it are one step.
    osk::CConfigGuard guard(config);
    if (text.empty()) config->erase(osk::CConfigNames::rconsolePassword());
    else config->set_string(osk::CConfigNames::rconsolePassword(), text);
    return config->write("");
}

size_t CRConsoleHandler::_maxPasswordLength(const rconsole_auth_protocol* block)
{
    return CRConsoleLogin::maxPasswordLength(block);
}

bool CRConsoleHandler::_authorized(osk::CHexStore& challenge, osk::CHexStore& response)
{
    if (!_encryption) return true;

    const rconsole_auth_protocol& sent = _admission.challenge;
    challenge.set(&sent, sizeof(sent));
    rconsole_auth_protocol received = _admission.response;
    response.set(&received, sizeof(received));
    received.reserved[0] = 0;

    const std::string minimumKey = osk::CConfigNames::minClientVersion();
    const unsigned minimum =
        controller()->config()->get_uint8(minimumKey, keys().defaults().get_uint8(minimumKey, uint8_t(0)));
    if (minimum > received.version)
        throw OSK_EXCEPTION(osk::CMessage(kVersionRefused).pushs(_peerText).push(unsigned(received.version)),
                            osk::CMessage(kMinimumVersion).push(minimum), "CRConsoleHandler::_authorize", kModule);

    // A named account is for the service's own login to decide.
    if (received.name[0] != 0) return false;

    std::string password;
    _getPassword(password);
    CRConsoleLogin::keyCipher(password, received, _streamCipher);
    if (!CRConsoleLogin::verify(sent, received, _streamCipher)) return false;
    _setUser(osk::CAccessID::superUserName());
    return true;
}

std::string CRConsoleHandler::_setLocale(const std::string& locale)
{
    const osk::CMessageStore& store = controller()->msgStore();
    const std::vector<std::string>& known = store.locales();
    if (std::find(known.begin(), known.end(), locale) != known.end()) {
        _sessionLocale = locale;
        return std::string();
    }
    std::string available;
    for (const std::string& name : known) available += (available.empty() ? "" : ",") + name;
    const osk::CMessage warning = osk::CMessage(kUnknownLocale, kModule).pushs(locale).pushs(available);
    _log(osk::CException::warning, warning);
    _sessionLocale = store.defLocale();
    return warning.formatted();
}

// ---- logging -------------------------------------------------------------

void CRConsoleHandler::_log(uint32_t severity, const osk::CMessage& message, int errCode)
{
    controller()->syslog(severity, message, errCode);
}

void CRConsoleHandler::_recordAndLog(const osk::CException& exception)
{
    osk::CExceptionFacade& facade = controller()->exceptionFacade();
    exception.record(facade);
    facade.log();
}

// ---- base commands -------------------------------------------------------

void CRConsoleHandler::_handleInfo(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTextCommand answer(CTextCommand::ack);
    handler->controller()->info(answer);
    handler->reply(answer, true);
}

void CRConsoleHandler::_handleHelp(CRConsoleHandler* handler, osk::CStringMap&)
{
    for (const auto& entry : handler->getCommandSet()) handler->reply(entry.first + "\n", false);
    handler->reply(CTextCommand(CTextCommand::ack), true);
}

void CRConsoleHandler::_handleSetPassword(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    const std::string password = args.get_string(kAdminPassword, "");
    // An empty text would be stored as no password at all, which makes the
    // password a single space: refuse it rather than open the console.
    if (password.empty()) {
        CTextCommand refusal(CTextCommand::nak);
        refusal.errorMsg(kPasswordEmpty);
        handler->reply(refusal, true);
        return;
    }
    if (handler->_setPassword(password)) {
        handler->reply(CTextCommand(CTextCommand::ack), true);
        handler->_log(osk::CException::audit,
                      osk::CMessage(kPasswordChanged, kModule).pushs(handler->_getUser()).pushs(handler->_peerText));
        return;
    }
    const int err = errno;
    CTextCommand refusal(CTextCommand::nak);
    refusal.errorMsg(kPasswordFailed);
    handler->reply(refusal, true);
    handler->_log(osk::CException::error,
                  osk::CMessage(kPasswordNotChanged, kModule).pushs(handler->_getUser()).pushs(handler->_peerText),
                  err);
}

void CRConsoleHandler::_handleSetMemTrack(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    CMemTrack::enabled(args.get_bool(kSetMemTrack, false));
    const bool now = CMemTrack::enabled();
    CTextCommand answer(CTextCommand::ack);
    answer.set_bool("memtrack", now);
    handler->reply(answer, true);
    handler->_log(osk::CException::info, osk::CMessage(kMemTrackSet, kModule).push(now));
}

void CRConsoleHandler::_handleCountMemTrack(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    waitArgument(args);
    const auto& registry = handler->controller()->taskRegistry();
    CTextCommand answer(CTextCommand::ack);
    for (const auto& entry : CMemTrack::allocated()) {
        const std::string task = registry->find(static_cast<pthread_t>(entry.second.source()));
        answer.set_uint64(task, answer.get_uint64(task, uint64_t(0)) + 1);
    }
    handler->reply(answer, true);
}

void CRConsoleHandler::_handleTotalMemTrack(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    const std::set<std::string> tasks = taskSelection(args);
    const auto& registry = handler->controller()->taskRegistry();
    CTextCommand answer(CTextCommand::ack);
    for (const auto& entry : CMemTrack::counters()) {
        const std::string task = registry->find(static_cast<pthread_t>(entry.second.source()));
        if (!tasks.empty() && !tasks.count(task)) continue;
        char key[32];
        std::snprintf(key, sizeof(key), "%09lu", static_cast<unsigned long>(entry.second.totalInstanceCount()));
        answer.string_insert(key, "total: " + std::to_string(entry.second.totalInstanceCount()) +
                                      ", current: " + std::to_string(entry.second.currentInstanceCount()) +
                                      ", type: " + entry.second.typeName());
    }
    handler->reply(answer, true);
}

void CRConsoleHandler::_handleGetMemTrack(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    const std::set<std::string> tasks = taskSelection(args);
    waitArgument(args);
    const auto& registry = handler->controller()->taskRegistry();
    CTextCommand answer(CTextCommand::ack);
    for (const auto& entry : CMemTrack::allocated()) {
        const std::string task = registry->find(static_cast<pthread_t>(entry.second.source()));
        if (!tasks.empty() && !tasks.count(task)) continue;
        answer.string_insert(task, entry.second.typeName() + "," + pointerText(entry.first));
    }
    handler->reply(answer, true);
}

void CRConsoleHandler::_handleGetUntracked(CRConsoleHandler* handler, osk::CStringMap& args)
{
    handler->_throwIfNotAdmin();
    const std::set<std::string> tasks = taskSelection(args);
    waitArgument(args);
    const auto& registry = handler->controller()->taskRegistry();
    CTextCommand answer(CTextCommand::ack);
    for (const auto& entry : CMemTrack::untracked()) {
        const std::string task = registry->find(static_cast<pthread_t>(entry.source()));
        if (!tasks.empty() && !tasks.count(task)) continue;
        answer.string_insert(task, entry.typeName() + "," + pointerText(entry.pointer()));
    }
    handler->reply(answer, true);
}
