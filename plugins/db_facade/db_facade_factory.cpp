#include "db_facade/db_facade_factory.h"

#include "extended/exception.h"
#include "oodb/db_base_session.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_transaction.h"
#include "prst_generic/prst_user_account.h"
#include "security/access_id.h"
#include "tftp/tftp_connector/tftp_connector_messages.h"
#include "tftp/tftp_database/prst_tftp_initializer.h"
#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"
#include "tftp/tftp_database/tftp_database.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace dbfacade {

using M = CTFTPConnectorMessages;

namespace {

// The service's database part when it is open, else null.
CTFTPDatabase* openPart(CITFTPController& controller)
{
    auto* database = dynamic_cast<CTFTPDatabase*>(controller.servicePart("database"));
    return database && database->isOpen() ? database : nullptr;
}

} // namespace

CTFTPDatabase& CDBFacadeFactory::openDatabase(CITFTPController& controller)
{
    CTFTPDatabase* database = openPart(controller);
    if (!database)
        throw OSK_EXCEPTION(osk::CMessage(M::noSession, M::module), osk::CMessage(M::noDatabase, M::module),
                            "CDBFacadeFactory::openDatabase", M::module);
    return *database;
}

bool CDBFacadeFactory::hasDatabase(CITFTPController& controller) { return openPart(controller) != nullptr; }

std::unique_ptr<CDBBaseSession> CDBFacadeFactory::createConsoleSession(CITFTPController& controller,
                                                                       const osk::CStringMap& config)
{
    CTFTPDatabase& database = openDatabase(controller);
    auto session = std::make_unique<CDBBaseSession>(config, database.database());
    _ensureAdministrator(*session, database.statements());
    return session;
}

const CDBStatementFileReader& CDBFacadeFactory::statements(CITFTPController& controller)
{
    return openDatabase(controller).statements();
}

void CDBFacadeFactory::_ensureAdministrator(CDBBaseSession& session, const CDBStatementFileReader& statements)
{
    // One console at a time, so that two first logins do not both create
    // the account.
    std::lock_guard<std::mutex> guard(_lock);
    if (_checked == &session.controller()) return;
    CPrstTFTPMetaAbstractFactory factory;
    CPrstTFTPInitializer(session, statements, factory).initialize();
    auto context = factory.createContext(session, statements, CPrstContext::administratorToken());
    CPrstTransaction transaction(*context);
    if (!CPrstUserAccount::findByName(*context, osk::CAccessID::superUserName())) {
        auto account = CPrstUserAccount::createTransient(*context);
        account->setSuperUser();
        account->commit();
    }
    transaction.commit();
    _checked = &session.controller();
}

} // namespace dbfacade
