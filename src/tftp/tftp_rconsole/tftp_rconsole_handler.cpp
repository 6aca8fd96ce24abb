#include "tftp/tftp_rconsole/tftp_rconsole_handler.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <type_traits>
#include <vector>

#include "extended/async_log.h"
#include "extended/config.h"
#include "extended/config_values.h"
#include "extended/master_controller.h"
#include "rconsole_base/rconsole_login.h"
#include "security/access_id.h"
#include "security/access_rights.h"
#include "security/domain_id.h"
#include "security/rights_thrower.h"
#include "security/table_rights_entry.h"
#include "standard/ip_address.h"
#include "exp_eval/expression.h"
#include "prst_generic/prst_capability.h"
#include "prst_generic/prst_device_access_control.h"
#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_domain_group.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/prst_role.h"
#include "prst_generic/prst_sql_query.h"
#include "prst_generic/prst_sql_query_group.h"
#include "prst_generic/prst_user_account.h"
#include "security/security_constants.h"
#include "standard/tracked_factory.h"
#include "tftp/tftp_connector/connector_proxy_task.h"
#include "tftp/tftp_database/prst_tftp_policy.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_interfaces/i_db_facade_factory.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_config_validator.h"

namespace {
const char* const kModule = "tftp_rconsole";

// Texts of the service's console.
const char* const kHeader = "Connected to %1 on %2. Use <exit> to disconnect.";
const char* const kWrongService = "This remote console plugin only functions with the Quandor TFTP service.";
const char* const kNoPublisher = "The publisher plugin is not loaded";
const char* const kNoTransferId = "No transfer id specified.";
const char* const kNoSuchTransfer = "No such transfer id.";
const char* const kBadEndpointStart = "Endpoint '";
const char* const kBadEndpointEnd = "' is not does not contain a valid ip address.";
const char* const kSubscribeNeedsPort = "Subscription requires a 'port=' setting.";
const char* const kUnsubscribeNeedsPort = "Unsubscribe requires a 'port=' setting.";
const char* const kVirtualRootError = "Error setting the virtual root: ";
const char* const kCannotVerifyRoot = "Cannot verify the virtual root path. The system error is: ";
const char* const kRootNotDirStart = "The virtual root path '";
const char* const kRootNotDirEnd = "' does not reference a directory.";
const char* const kOverwritePolicyError = "Error setting the Overwrite Policy: ";
const char* const kAccessPolicyError = "Error setting the Access Policy: ";
const char* const kCannotWriteConfigLog = "Cannot write to the configuration file '%1'.";
const char* const kCannotWriteConfig = "Cannot write to the configuration file. The system error is: ";
const char* const kStoredForRestart = "Stored. These keys take effect after a restart: %1.";
const char* const kRecordEnd = "-\n";
const char* const kProxyFailed = "Failed to start the proxy task.";
const char* const kLoggedInWithRights = "User '%1' logged in with rights '%2'.";
const char* const kLoggedIn = "User '%1' logged in.";
const char* const kCannotLogin = "Cannot login using account '%1'.";
const char* const kResetPassword = "The password for this account must be reset.";
// Stored passwords are hexadecimal pairs joined by this.
const char* const kPasswordSeparator = "-";

// Command words.
const char* const kHelp = "help";
const char* const kInfo = "info";
const char* const kGetProperties = "get_properties";
const char* const kSetProperties = "set_properties";
const char* const kGetPlugins = "get_plugins";
const char* const kFDCount = "fd_count";
const char* const kStats = "stats";
const char* const kSubscribe = "subscribe";
const char* const kSubscribeUDP = "subscribe_udp";
const char* const kUnsubscribe = "unsubscribe";
const char* const kUnsubscribeUDP = "unsubscribe_udp";
const char* const kArchiveCount = "archive_count";
const char* const kClearArchive = "clear_archive";
const char* const kAbort = "abort";
const char* const kSetSession = "set_session";
const char* const kGetSession = "get_session";
const char* const kWatch = "watch";
const char* const kUnwatch = "unwatch";
const char* const kGetPrstObjectNames = "get_persistent_object_names";
const char* const kGetAliases = "get_aliases";
const char* const kDump = "dump";
const char* const kDisableEncryption = "disable_encryption";

// The object commands' words: the operation's prefix and the class's name,
// or the short prefix and the class's short name.
struct CObjectOpWords {
    CTFTPRConsoleHandler::object_op op;
    const char* prefix;
    const char* shortPrefix;
};
const CObjectOpWords kObjectOps[] = {
    {CTFTPRConsoleHandler::opInsert, "insert_", "i"},
    {CTFTPRConsoleHandler::opDelete, "delete_", "d"},
    {CTFTPRConsoleHandler::opUpdate, "update_", "u"},
    {CTFTPRConsoleHandler::opSelect, "select_", "s"},
    {CTFTPRConsoleHandler::opSelectNext, "select_next_", "snx"},
    {CTFTPRConsoleHandler::opCount, "count_", "c"},
};

// The session settings of set_session and get_session.
const char* const kNumeric = "numeric";
const char* const kFormat = "format";
const char* const kLocale = "locale";
// A user account's password, given in clear and stored enciphered.
const char* const kPass = "pass";

// Keys that a console may not set: the password has its own command, the
// process's root and identity are fixed at start, and the directory code is
// loaded from is the machine's operator's choice alone.
const std::string kNotRemote[] = {CTFTPConfigNames::rconsolePassword(), CTFTPConfigNames::chrootPath(),
                                  CTFTPConfigNames::privGid(), CTFTPConfigNames::privUid(),
                                  CTFTPConfigNames::privGroup(), CTFTPConfigNames::privUser(),
                                  CTFTPConfigNames::pluginsPath()};

CTFTPRConsoleHandler* self(CRConsoleHandler* handler) { return static_cast<CTFTPRConsoleHandler*>(handler); }

// The names separated by ", ".
std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

} // namespace

CTFTPRConsoleHandler::CTFTPRConsoleHandler(osk::CMasterController* controller, int handle,
                                           CIRConsoleMaster* master)
    : CRConsoleHandler(controller, handle, master), CITFTPEventSubscriber(this)
{
    _setHandler(kHelp, &CTFTPRConsoleHandler::handleHelp);
    _setHandler(kInfo, &CTFTPRConsoleHandler::handleInfo);
    _setHandler(kGetProperties, &CTFTPRConsoleHandler::handleGetProperties);
    _setHandler(kSetProperties, &CTFTPRConsoleHandler::handleSetProperties);
    _setHandler(kGetPlugins, &CTFTPRConsoleHandler::handleGetPlugins);
    _setHandler(kFDCount, &CTFTPRConsoleHandler::handleFDCount);
    _setHandler(kSubscribe, &CTFTPRConsoleHandler::handleSubscribe);
    _setHandler(kSubscribeUDP, &CTFTPRConsoleHandler::handleSubscribe);
    _setHandler(kUnsubscribe, &CTFTPRConsoleHandler::handleUnsubscribe);
    _setHandler(kUnsubscribeUDP, &CTFTPRConsoleHandler::handleUnsubscribe);
    _setHandler(kArchiveCount, &CTFTPRConsoleHandler::handleArchiveCount);
    _setHandler(kClearArchive, &CTFTPRConsoleHandler::handleClearArchive);
    _setHandler(kAbort, &CTFTPRConsoleHandler::handleAbort);
    _setHandler(kSetSession, &CTFTPRConsoleHandler::handleSetSession);
    _setHandler(kGetSession, &CTFTPRConsoleHandler::handleGetSession);
    _setHandler(kWatch, &CTFTPRConsoleHandler::handleWatch);
    _setHandler(kUnwatch, &CTFTPRConsoleHandler::handleUnwatch);
    _setHandler(kGetPrstObjectNames, &CTFTPRConsoleHandler::handleGetPrstObjectNames);
    _setHandler(kGetAliases, &CTFTPRConsoleHandler::handleGetAliases);
    _setHandler(kDump, &CTFTPRConsoleHandler::handleDump);
    _setObjectHandlers<CPrstDomain>("domain", "d");
    _setObjectHandlers<CPrstDomainGroup>("domain_group", "dg");
    _setObjectWords<CPrstDeviceAccount>({"account", "device_account"}, {"a", "da"});
    _setObjectHandlers<CPrstDeviceAccessControl>("access_control", "ac");
    _setObjectHandlers<CPrstCapability>("capability", "c");
    _setObjectHandlers<CPrstTFTPPolicy>("policy", "p");
    _setSelectWords<CPrstSQLQuery>("sql_query", "sq");
    _setSelectWords<CPrstSQLQueryGroup>("sql_query_group", "sqg");
    // Key values have no short words; their insert word replays dumps.
    _setObjectHandlers<CPrstKeyValue>("keyvalue", "");
    // Console users and their roles (administrators only) have no short
    // words either.
    _setObjectHandlers<CPrstUserAccount>("user_account", "");
    _setObjectHandlers<CPrstRole>("user_role", "");
    // Stored queries are written by administrators only.
    _setChangeWords<CPrstSQLQuery>("sql_query");
    _setHandler(kDisableEncryption, &CTFTPRConsoleHandler::handleDisableEncryption);
    _setHandler(kStats, &CTFTPRConsoleHandler::handleStats);
}

CTFTPRConsoleHandler::~CTFTPRConsoleHandler() { _shutdownProxy(); }

template <class T>
void CTFTPRConsoleHandler::_setObjectHandlers(const std::string& name, const std::string& shortName)
{
    _setObjectWords<T>({name}, shortName.empty() ? std::vector<std::string>() : std::vector<std::string>{shortName});
}

template <class T>
void CTFTPRConsoleHandler::_setObjectWords(const std::vector<std::string>& names,
                                           const std::vector<std::string>& shortNames)
{
    const handler_t handlers[] = {
        &CTFTPRConsoleHandler::handleObject<T, opSelect>, &CTFTPRConsoleHandler::handleObject<T, opSelectNext>,
        &CTFTPRConsoleHandler::handleObject<T, opCount>,  &CTFTPRConsoleHandler::handleObject<T, opInsert>,
        &CTFTPRConsoleHandler::handleObject<T, opUpdate>, &CTFTPRConsoleHandler::handleObject<T, opDelete>,
    };
    for (const CObjectOpWords& words : kObjectOps) {
        for (const std::string& name : names) _setHandler(words.prefix + name, handlers[words.op]);
        for (const std::string& name : shortNames) _setHandler(words.shortPrefix + name, handlers[words.op]);
    }
}

template <class T>
void CTFTPRConsoleHandler::_setChangeWords(const std::string& name)
{
    _setHandler("insert_" + name, &CTFTPRConsoleHandler::handleObject<T, opInsert>);
    _setHandler("update_" + name, &CTFTPRConsoleHandler::handleObject<T, opUpdate>);
    _setHandler("delete_" + name, &CTFTPRConsoleHandler::handleObject<T, opDelete>);
}

template <class T>
void CTFTPRConsoleHandler::_setSelectWords(const std::string& name, const std::string& shortName)
{
    for (const CObjectOpWords& words : kObjectOps) {
        handler_t handler = nullptr;
        if (words.op == opSelect) handler = &CTFTPRConsoleHandler::handleObject<T, opSelect>;
        if (words.op == opSelectNext) handler = &CTFTPRConsoleHandler::handleObject<T, opSelectNext>;
        if (!handler) continue;
        _setHandler(words.prefix + name, handler);
        _setHandler(words.shortPrefix + shortName, handler);
    }
}

// ---- streaming ---------------------------------------------------------------

bool CTFTPRConsoleHandler::raw(const std::string& text, bool final) { return reply(text, final); }

bool CTFTPRConsoleHandler::cooked(const osk::CStringMap& record)
{
    reply(record.string(), false);
    return reply(kRecordEnd, false);
}

bool CTFTPRConsoleHandler::cookedComplete(const CTextCommand& answer) { return reply(answer, true); }

void CTFTPRConsoleHandler::handleEvent(const osk::CAppEventPtr& event)
{
    // Events still queued when the watch ended are dropped here.
    if (!_watching || !event) return;
    reply(event->string() + kRecordEnd, true);
}

// ---- hooks -------------------------------------------------------------------

void CTFTPRConsoleHandler::_throwIfNotAdmin() const
{
    osk::CRightsThrower(osk::CDomainID::superUsersID(), _token, osk::CAccessRights::write);
}

bool CTFTPRConsoleHandler::_authorized(osk::CHexStore& challenge, osk::CHexStore& response)
{
    if (CRConsoleHandler::_authorized(challenge, response)) {
        _administratorLogin();
        return true;
    }
    // Without an exchange (or without a whole one) there is no name to try.
    if (challenge.size() != CRConsoleLogin::blockLength || response.size() != CRConsoleLogin::blockLength)
        return false;
    rconsole_auth_protocol sent {};
    rconsole_auth_protocol received {};
    std::memcpy(&sent, challenge.buffer(), sizeof(sent));
    std::memcpy(&received, response.buffer(), sizeof(received));
    const std::string account = CRConsoleLogin::accountName(received);
    // An empty name is the administrator, whose password did not match.
    if (account.empty()) return false;

    osk::CTableRights rights;
    std::vector<osk::CDomainID> createRights;
    std::string locale;
    std::string stored;
    proxyTask()->findLoginCredentials(account, rights, createRights, locale, stored);
    const std::string password = _accountPassword(account, stored);
    CRConsoleLogin::keyCipher(password, received, streamCipher());
    if (!CRConsoleLogin::verify(sent, received, streamCipher())) return false;

    _setAccessToken(rights, createRights);
    // An account without a locale keeps the default one.
    if (!locale.empty()) _setLocale(locale);
    controller()->syslog(osk::CException::audit,
                         osk::CMessage(kLoggedInWithRights, kModule).pushs(account).pushs(_token.string()));
    _setUser(account);
    return true;
}

void CTFTPRConsoleHandler::_administratorLogin()
{
    // With consoles reaching the database, the administrator's account
    // there adds its domains and locale; the administrators' domain with
    // every right comes in any case. A facade without an open database
    // (none configured) must not lock the administrator out.
    CIDBFacadeFactory* facade = CConnectorProxyTask::databaseFacade(*controller());
    const bool consulted = facade && facade->hasDatabase(*tftpController());
    if (consulted) {
        osk::CTableRights rights;
        std::vector<osk::CDomainID> createRights;
        std::string locale;
        std::string stored;
        proxyTask()->findLoginCredentials(osk::CAccessID::superUserName(), rights, createRights, locale, stored);
        _setAccessToken(rights, createRights);
        if (!locale.empty()) _setLocale(locale);
    }
    _token.grantAccess(osk::CDomainID::superUsersID(), osk::CTableRightsEntry::anyTable,
                       osk::CAccessRights(osk::CAccessRights::all));
    if (consulted)
        controller()->syslog(osk::CException::audit,
                             osk::CMessage(kLoggedIn, kModule).pushs(osk::CAccessID::superUserName()));
}

std::string CTFTPRConsoleHandler::_accountPassword(const std::string& account, const std::string& stored) const
{
    try {
        // An account that never had a password cannot log in until one is set.
        if (!stored.empty()) {
            const std::string password = decryptPassword(osk::CHexStore(stored, kPasswordSeparator));
            if (!password.empty()) return password;
        }
    } catch (const osk::CException&) {
    }
    throw OSK_EXCEPTION(osk::CMessage(kCannotLogin, kModule).pushs(account), osk::CMessage(kResetPassword, kModule),
                        "CTFTPRConsoleHandler::_authorized", kModule);
}

void CTFTPRConsoleHandler::_setAccessToken(const osk::CTableRights& rights,
                                           const std::vector<osk::CDomainID>& createRights)
{
    _token = osk::CUserAccessToken();
    _token.tableRights(rights);
    _token.createRights(createRights);
}

bool CTFTPRConsoleHandler::onConnect()
{
    if (controller()->type() == CITFTPController::tftpControllerType) return true;
    controller()->syslog(osk::CException::error, osk::CMessage(kWrongService, kModule));
    return false;
}

bool CTFTPRConsoleHandler::onDisconnect()
{
    _stopWatching();
    _shutdownProxy();
    return true;
}

std::string CTFTPRConsoleHandler::onHeader()
{
    osk::CStringMap info;
    controller()->info(info);
    const osk::CMessage greeting =
        osk::CMessage(kHeader, kModule).pushs(controller()->appName()).pushs(info.get_string("name", ""));
    return controller()->msgStore().tr(greeting, _locale()).formatted();
}

// ---- helpers -----------------------------------------------------------------

CITFTPController* CTFTPRConsoleHandler::tftpController() const
{
    auto* tftp = dynamic_cast<CITFTPController*>(controller());
    if (!tftp)
        throw OSK_EXCEPTION(osk::CMessage(kWrongService, kModule), osk::CMessage(),
                            "CTFTPRConsoleHandler::tftpController", kModule);
    return tftp;
}

bool CTFTPRConsoleHandler::verifyPublisher()
{
    if (tftpController()->udpPublisher()) return true;
    _nak(kNoPublisher);
    return false;
}

void CTFTPRConsoleHandler::_nak(const std::string& message)
{
    CTextCommand answer(CTextCommand::nak);
    answer.errorMsg(message);
    reply(answer, true);
}

void CTFTPRConsoleHandler::_nakPrintable(const osk::CException& e)
{
    osk::CExceptionFacade& facade = controller()->exceptionFacade();
    e.record(facade);
    _nak(e.printableError(&controller()->msgStore(), _locale()));
    facade.clear();
}

void CTFTPRConsoleHandler::_nakMinimal(const osk::CException& e)
{
    osk::CExceptionFacade& facade = controller()->exceptionFacade();
    e.record(facade);
    const std::string message = facade.minimalMsg(_locale());
    facade.clear();
    _nak(message);
}

CConnectorProxyTask* CTFTPRConsoleHandler::proxyTask()
{
    if (_proxy) return _proxy;
    try {
        auto proxy = osk::CTrackedFactory::createUnique<CConnectorProxyTask>(tftpController());
        if (proxy->run() != 0)
            throw OSK_EXCEPTION(osk::CMessage(osk::task_texts::kStartFailed), osk::CMessage(),
                                "CTFTPRConsoleHandler::proxyTask", kModule);
        proxy->serializeNumeric(_serializeNumeric);
        proxy->formatType(_formatType);
        _proxy = proxy.release();
    } catch (const osk::CException& e) {
        throw OSK_EXCEPTION(osk::CMessage(kProxyFailed, kModule), osk::CMessage(e.printableError()),
                            "CTFTPRConsoleHandler::proxyTask", kModule);
    }
    return _proxy;
}

void CTFTPRConsoleHandler::_shutdownProxy() noexcept
{
    if (!_proxy) return;
    try {
        _proxy->shutdown();
    } catch (const osk::CException& e) {
        e.record(controller()->exceptionFacade());
        controller()->exceptionFacade().log();
    }
    osk::CTrackedFactory::destroy(_proxy);
    _proxy = nullptr;
}

osk::CStringMap CTFTPRConsoleHandler::_objectRequest(const osk::CStringMap& args) const
{
    const osk::CStringMap words = getCommandSet();
    osk::CStringMap request;
    for (const auto& entry : args)
        if (!words.defined(entry.first)) request.string_insert(entry.first, entry.second);
    return request;
}

void CTFTPRConsoleHandler::_stopWatching()
{
    if (!_watching) return;
    _watching = false;
    if (auto* tftp = dynamic_cast<CITFTPController*>(controller())) tftp->eventPublisher()->deregisterSubscriber();
}

// ---- commands ----------------------------------------------------------------

void CTFTPRConsoleHandler::handleHelp(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CRConsoleHandler::_handleHelp(handler, args);
}

void CTFTPRConsoleHandler::handleInfo(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTextCommand answer(CTextCommand::ack);
    handler->controller()->info(answer);
    handler->reply(answer, true);
}

void CTFTPRConsoleHandler::handleGetProperties(CRConsoleHandler* handler, osk::CStringMap&)
{
    const std::string text = handler->controller()->config()->string();
    CTextCommand answer(CTextCommand::ack);
    answer.merge(osk::CStringMap(text, "\n", 0));
    handler->reply(answer, true);
}

std::string CTFTPRConsoleHandler::_checkProperties(const osk::CStringMap& changes) const
{
    // The texts that lead a refusal of the service's rules.
    const std::pair<std::string, const char*> leads[] = {
        {CTFTPConfigNames::virtualRoot(), kVirtualRootError},
        {CTFTPConfigNames::allowOverwrite(), kOverwritePolicyError},
        {CTFTPConfigNames::allowAccess(), kAccessPolicyError},
    };
    const CTFTPEval evaluator(controller());
    const CTFTPConfigValidator validator(tftpController()->tftpConfigNames(), evaluator);
    for (const auto& change : changes) {
        try {
            validator.check(change.first, change.second);
        } catch (const osk::CException& e) {
            std::string lead;
            for (const auto& entry : leads)
                if (entry.first == change.first) lead = entry.second;
            return lead + e.printableError(&controller()->msgStore(), _locale());
        }
    }
    // The root must be there now; a start checks only its form, since it
    // may run before the process changes its root.
    const auto root = changes.find(CTFTPConfigNames::virtualRoot());
    if (root != changes.end() && osk::CExpression::isLiteral(root->second)) {
        const std::string& path = root->second;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return kCannotVerifyRoot + std::string(std::strerror(errno));
        if (!S_ISDIR(info.st_mode)) return kRootNotDirStart + path + kRootNotDirEnd;
    }
    return std::string();
}

bool CTFTPRConsoleHandler::_waitsForRestart(const std::string& key, const std::string& value)
{
    // A console that turns encryption off must not lose its own cipher (nor
    // hand the next login a clear channel) before the operator restarts.
    if (key != CTFTPConfigNames::rconsoleEncryption()) return false;
    const osk::CStringMap change(key + "=" + value);
    return !change.get_bool(key, true);
}

void CTFTPRConsoleHandler::handleSetProperties(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->_throwIfNotAdmin();
        CITFTPController* tftp = me->tftpController();
        osk::CConfigPtr config = tftp->config();
        osk::CStringMap changes = args;
        changes.erase(kSetProperties);
        changes.erase("code");
        // A legacy name is checked and stored as the key it stands for.
        config->translate(changes);
        for (const std::string& key : kNotRemote) changes.erase(key);
        tftp->tftpConfigNames().validate(changes);

        const std::string refusal = me->_checkProperties(changes);
        if (!refusal.empty()) {
            me->_nak(refusal);
            return;
        }
        const auto paths = changes.find(CTFTPConfigNames::pathCreation());
        if (paths != changes.end()) {
            const osk::CStringMap change(CTFTPConfigNames::pathCreation() + "=" + paths->second);
            const bool create = osk::CConfigValues(change, tftp->tftpConfigNames()).flag(paths->first);
            for (const auto& entry : tftp->fdManagers()) entry.second->setPathCreation(create);
        }
        std::vector<std::string> waiting = tftp->tftpConfigNames().restartKeys(changes);
        {
            // The change and the file written from it are one step for
            // every other user of the configuration.
            osk::CConfigGuard guard(config);
            for (const auto& change : changes) {
                if (_waitsForRestart(change.first, change.second)) {
                    config->stage(change.first, change.second);
                    waiting.push_back(change.first);
                    continue;
                }
                config->unstage(change.first);
                (*config)[change.first] = change.second;
            }
            if (!config->write(std::string())) {
                const int err = errno;
                tftp->syslog(osk::CException::error,
                             osk::CMessage(kCannotWriteConfigLog, kModule).pushs(config->fqpn()), err);
                me->_nak(kCannotWriteConfig + std::string(std::strerror(err)));
                return;
            }
        }
        tftp->refreshLog();
        CTextCommand answer(CTextCommand::ack);
        std::sort(waiting.begin(), waiting.end());
        waiting.erase(std::unique(waiting.begin(), waiting.end()), waiting.end());
        if (!waiting.empty()) {
            const osk::CMessage notice = osk::CMessage(kStoredForRestart, kModule).pushs(joined(waiting));
            answer.warningMsg(notice.formatted());
            tftp->syslog(osk::CException::warning, notice);
        }
        me->reply(answer, true);
    } catch (const osk::CException& e) {
        me->_nakPrintable(e);
    }
}

void CTFTPRConsoleHandler::handleGetPlugins(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTextCommand answer(CTextCommand::ack);
    for (CPlugin* plugin : handler->controller()->findAllPlugins())
        answer.set_string(plugin->pluginName(), plugin->pluginInterface());
    handler->reply(answer, true);
}

void CTFTPRConsoleHandler::handleStats(CRConsoleHandler* handler, osk::CStringMap&)
{
    const CTransferStatistics& statistics = self(handler)->tftpController()->transferStatistics();
    CTextCommand answer(CTextCommand::ack);
    CTransferStatistics::write(statistics.snapshot(CTransferStatistics::steadySeconds()), answer);
    handler->reply(answer, true);
}

void CTFTPRConsoleHandler::handleFDCount(CRConsoleHandler* handler, osk::CStringMap&)
{
    // A manager serving several file systems is listed once per name but
    // counted once.
    std::set<const CITFTPFDManager*> counted;
    uint64_t total = 0;
    for (const auto& entry : self(handler)->tftpController()->fdManagers()) {
        const CITFTPFDManager* manager = entry.second.get();
        if (!manager || !counted.insert(manager).second) continue;
        total += manager->fdCount();
    }
    CTextCommand answer(CTextCommand::ack);
    answer.set_uint64("count", total);
    handler->reply(answer, true);
}

void CTFTPRConsoleHandler::_subscription(osk::CStringMap& args, bool subscribe)
{
    if (!verifyPublisher()) return;
    osk::CEndpoint endpoint;
    if (args.defined("endpoint")) {
        const std::string text = args.get_string("endpoint", "");
        try {
            endpoint.set(text);
        } catch (const osk::CException&) {
            // An address alone: the port comes from "port=".
            if (!osk::CIPAddress::isValid(text)) {
                _nak(kBadEndpointStart + text + kBadEndpointEnd);
                return;
            }
            endpoint = osk::CEndpoint(osk::CIPAddress(text), 0);
        }
    } else {
        endpoint = osk::CEndpoint(peerEndpoint().ip_address(), 0);
    }
    if (endpoint.hbo_port() == 0) {
        if (!args.defined("port")) {
            _nak(subscribe ? kSubscribeNeedsPort : kUnsubscribeNeedsPort);
            return;
        }
        endpoint.hbo_port(args.get_uint16("port"));
    }
    const auto publisher = tftpController()->udpPublisher();
    if (subscribe)
        publisher->subscribe(endpoint, args.get_string("tag", ""), args.get_string("class", ""));
    else
        publisher->unsubscribe(endpoint);
    reply(CTextCommand(CTextCommand::ack), true);
}

void CTFTPRConsoleHandler::handleSubscribe(CRConsoleHandler* handler, osk::CStringMap& args)
{
    self(handler)->_subscription(args, true);
}

void CTFTPRConsoleHandler::handleUnsubscribe(CRConsoleHandler* handler, osk::CStringMap& args)
{
    self(handler)->_subscription(args, false);
}

void CTFTPRConsoleHandler::handleArchiveCount(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    if (!me->verifyPublisher()) return;
    CTextCommand answer(CTextCommand::ack);
    me->tftpController()->udpPublisher()->archiveCount(answer);
    me->reply(answer, true);
}

void CTFTPRConsoleHandler::handleClearArchive(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->_throwIfNotAdmin();
        if (!me->verifyPublisher()) return;
        me->tftpController()->udpPublisher()->clearArchive();
        me->reply(CTextCommand(CTextCommand::ack), true);
    } catch (const osk::CException& e) {
        me->_nakPrintable(e);
    }
}

void CTFTPRConsoleHandler::handleAbort(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->_throwIfNotAdmin();
        if (!args.defined("id")) {
            me->_nak(kNoTransferId);
            return;
        }
        const unsigned long id = args.get_ulong("id");
        if (id > UINT32_MAX || !me->tftpController()->cancelTransfer(static_cast<unsigned int>(id))) {
            me->_nak(kNoSuchTransfer);
            return;
        }
        me->reply(CTextCommand(CTextCommand::ack), true);
    } catch (const osk::CException& e) {
        me->_nakPrintable(e);
    }
}

void CTFTPRConsoleHandler::handleSetSession(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        // Every setting is read before any is changed: a bad value changes
        // nothing.
        const bool numeric = args.defined(kNumeric) ? args.get_bool(kNumeric, false) : me->_serializeNumeric;
        CTFTPFormatType format = me->_formatType;
        if (args.defined(kFormat)) format.string(args.get_string(kFormat, ""));
        me->_serializeNumeric = numeric;
        me->_formatType = format;
        if (me->_proxy) {
            me->_proxy->serializeNumeric(numeric);
            me->_proxy->formatType(format);
        }
        CTextCommand answer(CTextCommand::ack);
        if (args.defined(kLocale)) answer.warningMsg(me->_setLocale(args.get_string(kLocale, "")));
        me->reply(answer, true);
    } catch (const osk::CException& e) {
        me->_nakMinimal(e);
    }
}

void CTFTPRConsoleHandler::handleGetSession(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        CTextCommand answer(CTextCommand::ack);
        answer.set_bool(kNumeric, me->_serializeNumeric);
        answer.set_string(kFormat, me->_formatType.string());
        answer.set_string("access_token", me->_token.string());
        answer.set_string(kLocale, me->_locale());
        me->reply(answer, true);
    } catch (const osk::CException& e) {
        me->_nakMinimal(e);
    }
}

void CTFTPRConsoleHandler::handleGetPrstObjectNames(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->reply(me->proxyTask()->getPrstObjectNames(), true);
    } catch (const osk::CException& e) {
        me->_nakPrintable(e);
    }
}

void CTFTPRConsoleHandler::handleGetAliases(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->reply(me->proxyTask()->getAliases(), true);
    } catch (const osk::CException& e) {
        me->_nakPrintable(e);
    }
}

void CTFTPRConsoleHandler::handleDump(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        me->_throwIfNotAdmin();
        CConnectorProxyTask* proxy = me->proxyTask();
        const osk::CStringMap request = me->_objectRequest(args);
        // The script first sets the session to the form the objects are
        // written in, so a replay reads them the same way.
        me->reply(std::string(kSetSession) + "\n" + kRecordEnd, false);
        proxy->rawDumpContextIndependent(*me, me->_token, request);
        proxy->rawDumpContextSpecific(*me, me->_token, request);
        me->reply(CTextCommand(CTextCommand::ack), true);
    } catch (const osk::CException& e) {
        me->_nakMinimal(e);
    }
}

template <class T, CTFTPRConsoleHandler::object_op Op>
void CTFTPRConsoleHandler::handleObject(CRConsoleHandler* handler, osk::CStringMap& args)
{
    CTFTPRConsoleHandler* me = self(handler);
    try {
        const osk::CUserAccessToken token = me->_token;
        osk::CStringMap request = me->_objectRequest(args);
        if (std::is_same<T, CPrstUserAccount>::value && (Op == opInsert || Op == opUpdate))
            me->_encipherPassword(request);
        CConnectorProxyTask* proxy = me->proxyTask();
        switch (Op) {
        case opSelect: me->reply(proxy->select<T>(*me, token, request), true); break;
        // The command closes the reply itself.
        case opSelectNext: proxy->selectNext<T>(*me, token, request); break;
        case opCount: me->reply(proxy->count<T>(token, request), true); break;
        case opInsert: me->reply(proxy->insert<T>(token, request), true); break;
        case opUpdate: me->reply(proxy->update<T>(token, request), true); break;
        case opDelete: me->reply(proxy->remove<T>(token, request), true); break;
        }
    } catch (const osk::CException& e) {
        me->_nakMinimal(e);
    }
}

void CTFTPRConsoleHandler::_encipherPassword(osk::CStringMap& request) const
{
    // The placeholder a select shows keeps the stored password.
    if (!request.defined(kPass)) return;
    const std::string clear = request.get_string(kPass, "");
    if (clear == osk::CSecurityConstants::passwordPlaceholder()) return;
    request.set_string(kPass, encryptPassword(clear).string());
}

void CTFTPRConsoleHandler::handleDisableEncryption(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    // The ack still travels enciphered; everything after it is clear.
    me->reply(CTextCommand(CTextCommand::ack), true);
    me->_disableEncryption();
}

void CTFTPRConsoleHandler::handleWatch(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    // Registered under this connection's thread, where the events then run.
    me->tftpController()->eventPublisher()->registerSubscriber(me);
    me->_watching = true;
    me->reply(CTextCommand(CTextCommand::ack), true);
}

void CTFTPRConsoleHandler::handleUnwatch(CRConsoleHandler* handler, osk::CStringMap&)
{
    CTFTPRConsoleHandler* me = self(handler);
    me->_stopWatching();
    me->reply(CTextCommand(CTextCommand::ack), true);
}
