#pragma once

#include <memory>
#include <mutex>

#include "tftp/tftp_interfaces/i_db_facade_factory.h"

class CDBController;
class CTFTPDatabase;

namespace dbfacade {

// Gives consoles their sessions on the database the service opened (its
// "database" service part). The first session on an open database also
// makes sure the built-in administrator's account (Admin) exists, since
// the administrator's login looks it up once consoles reach the database;
// a database made before the account was built in gets it then.
class CDBFacadeFactory : public CIDBFacadeFactory {
public:
    bool hasDatabase(CITFTPController& controller) override;
    std::unique_ptr<CDBBaseSession> createConsoleSession(CITFTPController& controller,
                                                         const osk::CStringMap& config) override;
    const CDBStatementFileReader& statements(CITFTPController& controller) override;

    // The service's open database; throws "Cannot retrieve database
    // session." when there is none.
    CTFTPDatabase& openDatabase(CITFTPController& controller);

private:
    void _ensureAdministrator(CDBBaseSession& session, const CDBStatementFileReader& statements);

    std::mutex _lock;
    // The database whose administrator account is known to exist.
    const CDBController* _checked = nullptr;
};

} // namespace dbfacade
