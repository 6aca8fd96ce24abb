#include "firebird_provider/fb_db_factory.h"

#include "firebird_provider/fb_connection_settings.h"
#include "firebird_provider/fb_database_proxy.h"
#include "firebird_provider/fb_db_transaction.h"
#include "firebird_provider/fb_primary_key_generator.h"

namespace fbprov {

std::string CFbDBFactory::implementation() const { return CDBConstants::firebirdImplementation; }

std::unique_ptr<CDBDatabaseProxyI> CFbDBFactory::createDatabaseProxy(const osk::CStringMap& config)
{
    return std::make_unique<CFbDatabaseProxy>(CFbConnectionSettings(config));
}

std::unique_ptr<CDBTransaction> CFbDBFactory::createTransaction(CDBDatabaseProxyI& proxy,
                                                                CDBConstants::trans_access_mode accessMode,
                                                                int commitType)
{
    return std::make_unique<CFbDBTransaction>(CFbDatabaseProxy::of(proxy).attachment(), accessMode, commitType);
}

std::unique_ptr<CDBPrimaryKeyGenerator> CFbDBFactory::createPrimaryKeyGenerator(const std::string& tableName)
{
    return std::make_unique<CFbPrimaryKeyGenerator>(tableName);
}

} // namespace fbprov
