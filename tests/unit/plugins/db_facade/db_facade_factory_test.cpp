// The database facade on the service's database as the daemon opens it:
// no session while the service has no open database, sessions on the open
// one, and the administrator's account made once by the first session.
#include "db_facade/db_facade_factory.h"

#include <gtest/gtest.h>

#include "oodb/db_base_session.h"
#include "prst_generic/login_credentials.h"
#include "prst_generic/prst_transaction.h"
#include "prst_generic/prst_user_account.h"
#include "security/access_id.h"
#include "support/thrown.h"
#include "tftp/tftp_database/prst_tftp_initializer.h"
#include "tftp/tftp_database/prst_tftp_meta_abstract_factory.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "unit/plugins/firebird_provider/service_database_fixture.h"

namespace {

class DBFacadeFactoryTest : public ServiceDatabaseTest {
protected:
    // The text of the failure of createConsoleSession, what and why.
    std::string refusal()
    {
        return test_support::failureOf([&] { facade.createConsoleSession(controller, config); });
    }
    // The number of user accounts named Admin.
    int64_t administrators(CDBBaseSession& session)
    {
        auto transaction = session.beginTransaction(CDBConstants::READ_ONLY_ACCESS);
        auto rows = transaction->select("SELECT COUNT(*) AS N FROM osk_user_accounts WHERE NAME = 'Admin'");
        rows->fetch();
        const int64_t count = rows->asInt64("N");
        rows.reset();
        transaction->commit();
        return count;
    }

    CTFTPController controller{"zelvo-test"};
    dbfacade::CDBFacadeFactory facade;
};

TEST_F(DBFacadeFactoryTest, WithoutAnOpenDatabaseConsolesGetNoSession)
{
    const std::string expected = "Cannot retrieve database session. / The service's database is not open.";
    EXPECT_FALSE(facade.hasDatabase(controller));
    EXPECT_EQ(expected, refusal());
    EXPECT_THROW(facade.statements(controller), osk::CException);

    // The service's database part is there but closed.
    controller.addServicePart(&database);
    database.close();
    EXPECT_FALSE(facade.hasDatabase(controller));
    EXPECT_EQ(expected, refusal());
}

TEST_F(DBFacadeFactoryTest, TheFirstSessionMakesTheAdministratorsAccountOnce)
{
    controller.addServicePart(&database);
    ASSERT_TRUE(facade.hasDatabase(controller));
    CDBBaseSession probe(config, database.database());
    ASSERT_EQ(0, administrators(probe));

    auto session = facade.createConsoleSession(controller, config);
    ASSERT_TRUE(session);
    EXPECT_EQ(1, administrators(probe));

    // The login finds it: the built-in account, no roles, no password.
    CPrstTFTPMetaAbstractFactory factory;
    CPrstTFTPInitializer(*session, facade.statements(controller), factory).initialize();
    auto context = factory.createContext(*session, facade.statements(controller), CPrstContext::administratorToken());
    const osk::CCapabilities found = CLoginCredentials(*context).find(osk::CAccessID::superUserName());
    EXPECT_TRUE(found.tableRights().empty());
    EXPECT_EQ("", found.password());
    {
        CPrstTransaction transaction(*context, CDBConstants::READ_ONLY_ACCESS);
        auto account = CPrstUserAccount::findByName(*context, osk::CAccessID::superUserName());
        ASSERT_TRUE(account);
        EXPECT_EQ(osk::CAccessID::superUserID().id(), account->oid());
    }

    // Later sessions, also of another facade, find it and make no other.
    auto second = facade.createConsoleSession(controller, config);
    dbfacade::CDBFacadeFactory other;
    auto third = other.createConsoleSession(controller, config);
    EXPECT_EQ(1, administrators(probe));
}

} // namespace
