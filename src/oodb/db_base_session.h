#pragma once

#include <memory>
#include <string>

#include "oodb/db_constants.h"
#include "oodb/db_prototype_mgr.h"
#include "oodb/db_result_prototype.h"
#include "oodb/db_table_interface.h"
#include "oodb/db_transaction.h"
#include "oodb/db_type_string_map.h"
#include "standard/string_map.h"

class CDBController;
class CDBDatabaseProxyI;

// A working session on one database: its configuration, its controller and
// the implementation in use. Transactions are started here in an access
// mode; the transaction type the persistent layer chooses for an operation
// becomes the transaction's commit type. The session keeps the prototypes
// of the record types it works with, and their clones.
class CDBBaseSession {
public:
    CDBBaseSession(osk::CStringMap config, CDBController& controller);
    // A session whose transactions start on connection (which outlives it)
    // rather than on the controller's.
    CDBBaseSession(osk::CStringMap config, CDBController& controller, CDBDatabaseProxyI& connection);

    const osk::CStringMap& config() const { return _config; }
    CDBController& controller() const { return _controller; }
    const std::string& dbImplementation() const;

    std::unique_ptr<CDBTransaction> beginTransaction(CDBConstants::trans_access_mode accessMode, int transType = 0);
    // The table with these columns (PK is always one of them), registered
    // with the controller on first use.
    CDBTableInterface table(const std::string& tableName, const CDBTypeStringMap& columnDefs);

    // Inserts (or replaces) the prototype of name.
    void setPrototype(const std::string& name, CDBResultPrototype prototype);
    void removePrototype(const std::string& name);
    // The prototype of name; throws "Failed to find object prototype '%1'."
    // for a name without one.
    CDBResultPrototype& operator[](const std::string& name);
    CDBPrototypeMgr& prototypes() { return _prototypes; }

private:
    osk::CStringMap _config;
    CDBController& _controller;
    // Null: the controller's.
    CDBDatabaseProxyI* _connection = nullptr;
    CDBPrototypeMgr _prototypes;
};
