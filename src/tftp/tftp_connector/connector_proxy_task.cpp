#include "tftp/tftp_connector/connector_proxy_task.h"

#include <algorithm>
#include <cctype>

#include "extended/config.h"
#include "extended/config_names.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "security/access_rights.h"
#include "tftp/tftp_connector/cmd_find_login_credentials.h"
#include "security/domain_id.h"
#include "security/rights_thrower.h"
#include "security/security_exception.h"
#include "tftp/tftp_database/prst_tftp_initializer.h"
#include "tftp/tftp_interfaces/i_db_facade_factory.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"

using M = CTFTPConnectorMessages;

const char* const CConnectorProxyTask::taskLabel = "connector-proxy-task";

namespace {

CIDBFacadeFactory& facadeOf(CITFTPController* controller)
{
    CIDBFacadeFactory* facade = controller ? CConnectorProxyTask::databaseFacade(*controller) : nullptr;
    if (!facade)
        throw OSK_EXCEPTION(osk::CMessage(M::noSession, M::module), osk::CMessage(M::noFacade, M::module),
                            "CConnectorProxyTask::CConnectorProxyTask", M::module);
    return *facade;
}

osk::CStringMap configSnapshot(const osk::CMasterController& controller)
{
    const osk::CConfigPtr shared = controller.config();
    osk::CConfigGuard guard(shared);
    return *shared;
}

} // namespace

CConnectorProxyTask::CConnectorProxyTask(CITFTPController* controller)
    : osk::CCommandQueueTask<>(controller, taskLabel, 1), _facade(facadeOf(controller))
{
    const osk::CStringMap config = configSnapshot(*controller);
    const osk::CConfigValues values(config, osk::CConfigNames::framework());
    _maxSelectCount = std::max<uint64_t>(1, values.ulong(osk::CConfigNames::maxSelectCount()));
    _policy.forceCommitAfterSelect = values.flag(osk::CConfigNames::forceCommitAfterSelect());
    _policy.commitTimeOut = ACE_Time_Value(static_cast<time_t>(values.ulong(osk::CConfigNames::commitTimeOut())));

    _session = _facade.createConsoleSession(*controller, config);
    const CDBStatementFileReader& statements = _facade.statements(*controller);
    CPrstTFTPInitializer(*_session, statements, _factory).initialize();
    _context = _factory.createContext(*_session, statements, osk::CUserAccessToken());
    _timeOutManager = std::make_unique<CDBTimeOutMgr>(controller);
    _timeOutManager->run();
    _timeOut = std::make_unique<CPrstQueryTimeOut>(controller, *_timeOutManager, *this);
}

CIDBFacadeFactory* CConnectorProxyTask::databaseFacade(const osk::CMasterController& controller)
{
    for (CPlugin* plugin : controller.findPluginTypes(CIDBFacadeFactory::interfaceName()))
        if (auto* facade = dynamic_cast<CIDBFacadeFactory*>(plugin)) return facade;
    return nullptr;
}

CConnectorProxyTask::~CConnectorProxyTask()
{
    shutdown();
    _queries.clear();
    _timeOut.reset();
    _timeOutManager->shutdown();
}

int CConnectorProxyTask::_daemon()
{
    const int result = osk::CCommandQueueTask<>::_daemon();
    // The console is gone: the transaction a select left open ends with
    // its thread, so no later writer waits for it.
    _timeOut->finish();
    _context->rollback();
    return result;
}

CTextCommand CConnectorProxyTask::_post(CCmdSQLOperation* command, const CCmdSQLOperation::result_t& result)
{
    sendCommand(osk::CAsyncCommandPtr(command));
    return CCmdSQLOperation::outcome(result);
}

std::string CConnectorProxyTask::queryKey(const std::string& className, const std::string& pager)
{
    return className + "_" + pager;
}

uint64_t CConnectorProxyTask::_pageSize(const CSQLOperationArgs& args, uint64_t current) const
{
    const uint64_t size = args.countGiven() || !current ? static_cast<uint64_t>(args.count()) : current;
    return std::min(size, _maxSelectCount);
}

void CConnectorProxyTask::_stale(const std::string& pager)
{
    throw OSK_EXCEPTION(
        osk::CMessage(CRConsoleDatabaseMessages::staleQuery, CRConsoleDatabaseMessages::module).pushs(pager),
        osk::CMessage(CRConsoleDatabaseMessages::changedSince, CRConsoleDatabaseMessages::module),
        "CConnectorProxyTask::_query", M::module);
}

void CConnectorProxyTask::_noQuery(const std::string& pager, const std::string& pagerType)
{
    throw OSK_EXCEPTION(osk::CMessage(M::noQueryForPager, M::module).pushs(pager).pushs(pagerType),
                        osk::CMessage(M::noSuchQuery, M::module), "CConnectorProxyTask::_query", M::module);
}

void CConnectorProxyTask::_markAllStale()
{
    for (auto& entry : _queries) entry.second->stale(true);
}

void CConnectorProxyTask::invalidateProxy(const std::string& key)
{
    const auto found = _queries.find(key);
    if (found == _queries.end())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotInvalidate, M::module),
                            osk::CMessage(M::noQueryKey, M::module).pushs(key), "CConnectorProxyTask::invalidateProxy",
                            M::module);
    found->second->stale(true);
}

void CConnectorProxyTask::requireSuperUser(const osk::CUserAccessToken& token)
{
    if (token.tableRights().find(osk::CDomainID::superUsersID()) != nullptr) return;
    throw osk::CSecurityException(osk::CMessage(M::privileged, M::module), osk::CMessage(M::needSuperUser, M::module),
                                  "CConnectorProxyTask::requireSuperUser", M::module, __FILE__, __LINE__);
}

void CConnectorProxyTask::findLoginCredentials(const std::string& user, osk::CTableRights& tableRights,
                                               std::vector<osk::CDomainID>& createRights, std::string& locale,
                                               std::string& password) const
{
    osk::CCapabilities capabilities;
    CCmdFindLoginCredentials::result_t result(controller(), &capabilities);
    sendCommand(osk::CAsyncCommandPtr(osk::CTrackedFactory::create<CCmdFindLoginCredentials>(*_context, user, result)));
    result.wait();
    if (!result.success()) {
        // The cause goes to the log; the console learns nothing of it.
        osk::CExceptionFacade& facade = controller()->exceptionFacade();
        if (const auto cause = result.exceptionFacade().outer()) {
            cause->record(facade);
            facade.log();
        }
        const bool printable =
            std::all_of(user.begin(), user.end(), [](unsigned char c) { return std::isprint(c) != 0; });
        throw OSK_EXCEPTION(
            osk::CMessage(M::noAccessRights, M::module).pushs(printable ? user : M::nonPrintable),
            osk::CMessage(M::noCredentials, M::module), "CConnectorProxyTask::findLoginCredentials", M::module);
    }
    tableRights = capabilities.tableRights();
    createRights = capabilities.createRights();
    locale = capabilities.locale();
    password = capabilities.password();
}

CTextCommand CConnectorProxyTask::rawDumpContextIndependent(CIDirectReplyProxy& reply,
                                                            const osk::CUserAccessToken& token,
                                                            const osk::CStringMap& request)
{
    return _dump(CCmdDumpRaw::contextIndependent, reply, token, request);
}

CTextCommand CConnectorProxyTask::rawDumpContextSpecific(CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                                                         const osk::CStringMap& request)
{
    return _dump(CCmdDumpRaw::contextSpecific, reply, token, request);
}

CTextCommand CConnectorProxyTask::_dump(int kind, CIDirectReplyProxy& reply, const osk::CUserAccessToken& token,
                                        const osk::CStringMap& request)
{
    osk::CRightsThrower(osk::CDomainID::superUsersID(), token, osk::CAccessRights::read);
    CTextCommand answer;
    CCmdSQLOperation::result_t result(controller(), &answer);
    return _post(osk::CTrackedFactory::create<CCmdDumpRaw>(kind, reply, *_context, token, *_timeOut, request, result),
                 result);
}

CTextCommand CConnectorProxyTask::getAliases() const
{
    CTextCommand answer(CTextCommand::ack);
    answer.data(_session->prototypes().aliases());
    return answer;
}

CTextCommand CConnectorProxyTask::getPrstObjectNames() const
{
    std::string names;
    for (const std::string& className : _factory.classNames()) {
        const std::string& formalName = _factory.spec(className).formalName();
        if (!formalName.empty()) names += (names.empty() ? "" : ",") + formalName;
    }
    CTextCommand answer(CTextCommand::ack);
    answer.set_string("names", names);
    return answer;
}
