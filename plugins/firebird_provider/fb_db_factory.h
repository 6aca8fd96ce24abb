#pragma once

#include "oodb/db_abstract_factory.h"

namespace fbprov {

// The factory of the implementation "Firebird_DB": connections from the
// system.db.* keys, transactions on them, sequences as key generators and
// the map of Firebird's status codes.
class CFbDBFactory : public CDBAbstractFactory {
public:
    std::string implementation() const override;
    std::unique_ptr<CDBDatabaseProxyI> createDatabaseProxy(const osk::CStringMap& config) override;
    std::unique_ptr<CDBTransaction> createTransaction(CDBDatabaseProxyI& proxy,
                                                      CDBConstants::trans_access_mode accessMode,
                                                      int commitType) override;
    std::unique_ptr<CDBPrimaryKeyGenerator> createPrimaryKeyGenerator(const std::string& tableName) override;
    const CDBErrorCodeMap& errorCodeMap() const override;
};

} // namespace fbprov
