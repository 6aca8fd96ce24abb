#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "oodb/db_constants.h"
#include "standard/string_map.h"

class CDBDatabaseProxyI;
class CDBErrorCodeMap;
class CDBPrimaryKeyGenerator;
class CDBTransaction;

// What a database provider makes for the layer: connections, transactions on
// a connection, the primary-key generator of a table and the map of its
// return codes. A provider
// registers one such factory per implementation it offers.
class CDBAbstractFactory {
public:
    virtual ~CDBAbstractFactory() = default;

    // The implementation this factory makes ("Firebird_DB").
    virtual std::string implementation() const = 0;
    // Opens the database the configuration names (the system.db.* keys).
    virtual std::unique_ptr<CDBDatabaseProxyI> createDatabaseProxy(const osk::CStringMap& config) = 0;
    // Brings the schema of a database this factory opened to version
    // required (a new database gets its whole schema and initial data from
    // the scripts the configuration points to) and returns the version it
    // has then; the provider also brings what its engine plans from up to
    // date (index statistics). Throws when the schema cannot be made, and
    // when the database is newer than required.
    virtual uint32_t prepareSchema(CDBDatabaseProxyI& proxy, const osk::CStringMap& config, uint32_t required) = 0;
    // Starts a transaction on a connection this factory opened.
    virtual std::unique_ptr<CDBTransaction> createTransaction(CDBDatabaseProxyI& proxy,
                                                              CDBConstants::trans_access_mode accessMode,
                                                              int commitType) = 0;
    virtual std::unique_ptr<CDBPrimaryKeyGenerator> createPrimaryKeyGenerator(const std::string& tableName) = 0;
    // The product's return codes mapped to the layer's error codes.
    virtual const CDBErrorCodeMap& errorCodeMap() const = 0;
};
