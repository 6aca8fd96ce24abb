#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "oodb/db_accessor_i.h"
#include "oodb/db_rows.h"
#include "oodb/db_statement_expander.h"
#include "oodb/db_transaction.h"
#include "oodb/db_value.h"

// The statements of one table: the statement templates expanded for the
// table's columns and run in a transaction, with every value bound as a
// parameter. Rows are given by column name; a write binds every column in
// the sorted order of the names, and a column the row leaves out is written
// as null. Writes are refused when the transaction's access mode is
// read-only.
class CDBTableInterface {
public:
    explicit CDBTableInterface(CDBAccessorI& accessor);

    const std::string& tableName() const { return _expander.tableName(); }
    const CDBStatementExpander& expander() const { return _expander; }

    // Creates the table from its column definitions, its primary key
    // constraint and its key generator; visible once the transaction commits.
    void createTable(CDBTransaction& transaction);

    // Inserts row and returns its key: the row's PK when it has one, else
    // the next key from the generator.
    int64_t insert(CDBTransaction& transaction, const CDBRow& row);
    // The row of key (no row when there is none).
    std::unique_ptr<CDBRows> select(CDBTransaction& transaction, int64_t key);
    // The rows with keys from low to high, ascending.
    std::unique_ptr<CDBRows> selectRange(CDBTransaction& transaction, int64_t low, int64_t high);
    // Writes row over the row of key; returns the number of rows changed.
    uint64_t update(CDBTransaction& transaction, int64_t key, const CDBRow& row);
    uint64_t remove(CDBTransaction& transaction, int64_t key);
    // The largest key in the table; initialKeyValue when it is empty.
    int64_t largestKey(CDBTransaction& transaction);

    // Opens the row of key on the short-commit cursor, locked for update;
    // updateCurrent and removeCurrent then change the row the cursor stands
    // on (after a fetch); the row keeps the key the cursor shows.
    std::unique_ptr<CDBRows> selectForUpdate(CDBTransaction& transaction, int64_t key);
    uint64_t updateCurrent(CDBTransaction& transaction, const CDBRows& cursor, const CDBRow& row);
    uint64_t removeCurrent(CDBTransaction& transaction);

private:
    // The values of row in the order of the column names; throws for a
    // column the table does not have.
    CDBValues _values(const CDBRow& row) const;
    std::string _createTableStatement() const;

    CDBAccessorI& _accessor;
    CDBStatementExpander _expander;
};
