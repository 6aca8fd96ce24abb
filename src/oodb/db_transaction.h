#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "oodb/db_constants.h"
#include "oodb/db_rows.h"
#include "oodb/db_value.h"

// A transaction on the database, opened by the provider in one of the access
// modes. Statements are complete SQL texts with "?" for every value; a select
// whose text ends with "FOR UPDATE OF" and a cursor name opens that named
// cursor, so that a later "WHERE CURRENT OF" with the same name changes the
// row the cursor stands on. A transaction still active when destroyed is
// rolled back.
class CDBTransaction {
public:
    CDBTransaction(CDBConstants::trans_access_mode accessMode, int commitType)
        : _accessMode(accessMode), _commitType(commitType)
    {
    }
    virtual ~CDBTransaction() = default;
    CDBTransaction(const CDBTransaction&) = delete;
    CDBTransaction& operator=(const CDBTransaction&) = delete;

    CDBConstants::trans_access_mode accessMode() const { return _accessMode; }
    int commitType() const { return _commitType; }
    // Whether the access mode allows inserting, changing or deleting rows.
    bool writable() const { return _accessMode != CDBConstants::READ_ONLY_ACCESS; }
    // Throws "Failed to write table record." when the access mode does not
    // allow writing; context names the caller.
    void requireWritable(const char* context) const;

    // Runs a statement that returns no rows; returns the number of rows it
    // inserted, changed or deleted.
    virtual uint64_t execute(const std::string& sql, const CDBValues& values = CDBValues()) = 0;
    virtual std::unique_ptr<CDBRows> select(const std::string& sql, const CDBValues& values = CDBValues()) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool isActiveTransaction() const = 0;

private:
    CDBConstants::trans_access_mode _accessMode;
    int _commitType;
};
