#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>

#include "oodb/db_abstract_factory.h"
#include "oodb/db_accessor_i.h"
#include "oodb/db_database_proxy_i.h"
#include "oodb/db_type_string_map.h"
#include "standard/string_map.h"

class CDBAbstractFactoryFacade;

namespace osk {
class CMessage;
}

// One database: its name, the schema version the program requires, the
// implementation that reaches it (the factory of which comes from the
// facade), the open connection and one accessor per table. Warnings of the
// layer go to the log it was given (a controller without one, as in tools,
// logs nothing).
class CDBController {
public:
    using log_t = CDBDatabaseProxyI::log_t;

    CDBController(std::string dbName, uint32_t reqSchemaVersion, CDBAbstractFactoryFacade& facade,
                  std::string implementation, log_t log = log_t());
    ~CDBController();
    CDBController(const CDBController&) = delete;
    CDBController& operator=(const CDBController&) = delete;

    const std::string& dbName() const { return _dbName; }
    uint32_t reqSchemaVersion() const { return _reqSchemaVersion; }
    const std::string& implementation() const { return _implementation; }
    // Writes one log entry to the controller's log.
    void syslog(uint32_t severity, const osk::CMessage& message) const;

    // Opens the database the configuration names through the registered
    // factory of the implementation.
    void dbInit(const osk::CStringMap& config);
    // After dbInit: brings the schema to reqSchemaVersion through the
    // implementation's factory and returns the database's version then.
    uint32_t dbPrepareSchema(const osk::CStringMap& config);
    bool initialized() const { return _proxy != nullptr; }
    // The factory of the implementation; throws when none is registered.
    std::shared_ptr<CDBAbstractFactory> factory() const;
    // The open connection; throws "Database '%1' is not open." before dbInit.
    CDBDatabaseProxyI& proxy() const;
    // A further connection to the database, of the caller's own, logging
    // to the controller's log. The calls on one connection run one at a
    // time, so a caller whose calls must not wait behind the others' (the
    // engine's lookups behind a console's select) opens one. After dbInit.
    std::unique_ptr<CDBDatabaseProxyI> openConnection(const osk::CStringMap& config) const;

    // The accessor of table, created with columnDefs on first use. A later
    // call must define the same columns, else "Required fields '%1' do not
    // match defined fields '%2'." is thrown.
    CDBAccessorI& registerTable(const std::string& tableName, const CDBTypeStringMap& columnDefs);
    // The accessor of a registered table; null for any other.
    CDBAccessorI* accessor(const std::string& tableName) const;

private:
    std::string _dbName;
    uint32_t _reqSchemaVersion;
    CDBAbstractFactoryFacade& _facade;
    std::string _implementation;
    log_t _log;
    std::unique_ptr<CDBDatabaseProxyI> _proxy;
    mutable std::shared_mutex _accessorLock;
    std::map<std::string, std::unique_ptr<CDBAccessorI>> _accessors;
};
