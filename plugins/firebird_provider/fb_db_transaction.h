#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "firebird_provider/fb_statement.h"
#include "firebird_provider/fb_statement_pool.h"
#include "firebird_provider/fb_transaction.h"
#include "oodb/db_transaction.h"

namespace fbprov {

// A transaction of the object database layer on a Firebird connection. The
// read-only access mode starts a read-only Firebird transaction, so the
// engine refuses writes as well; every other mode reads and writes.
// A statement is prepared once per attachment and text and runs again, in
// any transaction, whenever no open cursor holds it (CFbStatementPool). A
// select ending in "FOR UPDATE OF" and a cursor name runs as "FOR UPDATE"
// on a cursor of that name, which "WHERE CURRENT OF" then refers to.
class CFbDBTransaction : public CDBTransaction {
public:
    // lockTimeout: seconds a statement waits for a record another
    // transaction has locked (CFbTransaction::noWait: not at all). The
    // transaction keeps its attachment for as long as it lives, also when
    // the connection replaces a lost attachment meanwhile.
    CFbDBTransaction(std::shared_ptr<CFbAttachment> attachment, CDBConstants::trans_access_mode accessMode,
                     int commitType, unsigned lockTimeout = CFbTransaction::defaultLockTimeout);

    uint64_t execute(const std::string& sql, const CDBValues& values = CDBValues()) override;
    std::unique_ptr<CDBRows> select(const std::string& sql, const CDBValues& values = CDBValues()) override;
    void commit() override;
    void rollback() override;
    bool isActiveTransaction() const override { return _transaction.active(); }

    // The Firebird transaction behind a transaction of the layer; throws
    // when it belongs to another implementation.
    static CFbTransaction& of(CDBTransaction& transaction);

    // Splits "... FOR UPDATE OF name" into "... FOR UPDATE" and name;
    // returns false (and leaves both alone) for any other statement.
    static bool splitCursorSelect(const std::string& sql, std::string& statement, std::string& cursorName);

    // The statements this transaction has prepared so far.
    uint64_t prepared() const { return _prepared; }

private:
    // A free statement of sql from the pool, or a newly prepared one.
    std::unique_ptr<CFbStatement> _statement(const std::string& sql);

    std::shared_ptr<CFbAttachment> _attachment;
    CFbTransaction _transaction;
    std::shared_ptr<CFbStatementPool> _pool;
    uint64_t _prepared = 0;
};

} // namespace fbprov
