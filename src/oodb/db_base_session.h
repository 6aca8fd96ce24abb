#pragma once

#include <memory>
#include <string>

#include "oodb/db_constants.h"
#include "oodb/db_table_interface.h"
#include "oodb/db_transaction.h"
#include "oodb/db_type_string_map.h"
#include "standard/string_map.h"

class CDBController;

// A working session on one database: its configuration, its controller and
// the implementation in use. Transactions are started here in an access
// mode; the transaction type the persistent layer chooses for an operation
// becomes the transaction's commit type.
class CDBBaseSession {
public:
    CDBBaseSession(osk::CStringMap config, CDBController& controller);

    const osk::CStringMap& config() const { return _config; }
    CDBController& controller() const { return _controller; }
    const std::string& dbImplementation() const;

    std::unique_ptr<CDBTransaction> beginTransaction(CDBConstants::trans_access_mode accessMode, int transType = 0);
    // The table with these columns (PK is always one of them), registered
    // with the controller on first use.
    CDBTableInterface table(const std::string& tableName, const CDBTypeStringMap& columnDefs);

private:
    osk::CStringMap _config;
    CDBController& _controller;
};
