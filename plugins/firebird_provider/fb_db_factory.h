#pragma once

#include "firebird_provider/fb_error_code_map.h"
#include "oodb/db_abstract_factory.h"

namespace fbprov {

// The factory of the implementation "Firebird_DB": connections from the
// system.db.* keys, their schema from the scripts, transactions on them and
// sequences as key generators.
class CFbDBFactory : public CDBAbstractFactory {
public:
    std::string implementation() const override;
    std::unique_ptr<CDBDatabaseProxyI> createDatabaseProxy(const osk::CStringMap& config) override;
    // The schema scripts: the versions in system.db.versions_path, the
    // initial data of a new database in the directory above it
    // (default_init.sql and import/).
    uint32_t prepareSchema(CDBDatabaseProxyI& proxy, const osk::CStringMap& config, uint32_t required) override;
    std::unique_ptr<CDBTransaction> createTransaction(CDBDatabaseProxyI& proxy,
                                                      CDBConstants::trans_access_mode accessMode,
                                                      int commitType) override;
    std::unique_ptr<CDBPrimaryKeyGenerator> createPrimaryKeyGenerator(const std::string& tableName) override;
    // Firebird's status codes mapped to the layer's error codes.
    const CDBErrorCodeMap& errorCodeMap() const override { return CFbErrorCodeMap::instance(); }
};

} // namespace fbprov
