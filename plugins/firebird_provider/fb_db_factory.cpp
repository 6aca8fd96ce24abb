#include "firebird_provider/fb_db_factory.h"

#include "extended/config_names.h"
#include "firebird_provider/fb_connection_settings.h"
#include "firebird_provider/fb_database_proxy.h"
#include "firebird_provider/fb_db_transaction.h"
#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_index_statistics.h"
#include "firebird_provider/fb_primary_key_generator.h"
#include "firebird_provider/fb_schema_upgrader.h"

namespace fbprov {

std::string CFbDBFactory::implementation() const { return CDBConstants::firebirdImplementation; }

std::unique_ptr<CDBDatabaseProxyI> CFbDBFactory::createDatabaseProxy(const osk::CStringMap& config)
{
    return std::make_unique<CFbDatabaseProxy>(CFbConnectionSettings(config));
}

uint32_t CFbDBFactory::prepareSchema(CDBDatabaseProxyI& proxy, const osk::CStringMap& config, uint32_t required)
{
    CFbDatabaseProxy& database = CFbDatabaseProxy::of(proxy);
    std::string versions = config.get_string(osk::CConfigNames::dbVersionsPath(), "");
    while (versions.size() > 1 && versions.back() == '/')
        versions.pop_back();
    if (versions.empty())
        throw CFbError::make(osk::CMessage("Cannot prepare the schema of database '%1'.").pushs(database.location()),
                             osk::CMessage("The key %1 is not set; point it to the directory of the schema "
                                           "versions (db/db_versions).")
                                 .pushs(osk::CConfigNames::dbVersionsPath()),
                             "CFbDBFactory::prepareSchema");
    const size_t slash = versions.rfind('/');
    const std::string schemaDirectory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : versions.substr(0, slash));
    const std::shared_ptr<CFbAttachment> attachment = database.attachment();
    CFbSchemaUpgrader upgrader(*attachment, versions,
                               CFbSchemaUpgrader::initialDataScripts(schemaDirectory));
    upgrader.upgrade(required);
    CFbIndexStatistics::refresh(*attachment);
    return upgrader.currentVersion();
}

std::unique_ptr<CDBTransaction> CFbDBFactory::createTransaction(CDBDatabaseProxyI& proxy,
                                                                CDBConstants::trans_access_mode accessMode,
                                                                int commitType)
{
    CFbDatabaseProxy& database = CFbDatabaseProxy::of(proxy);
    std::shared_ptr<CFbAttachment> attachment = database.attachment();
    try {
        return std::make_unique<CFbDBTransaction>(attachment, accessMode, commitType);
    } catch (const CDBException& e) {
        // A lost connection stays lost: start again on a new one, once.
        if (e.dbErrorCode() != CDBErrorCodeMap::CONNECTION_LOST) throw;
    }
    return std::make_unique<CFbDBTransaction>(database.reattach(attachment), accessMode, commitType);
}

std::unique_ptr<CDBPrimaryKeyGenerator> CFbDBFactory::createPrimaryKeyGenerator(const std::string& tableName)
{
    return std::make_unique<CFbPrimaryKeyGenerator>(tableName);
}

} // namespace fbprov
