#pragma once

#include <memory>
#include <string>

#include "extended/message.h"
#include "oodb/db_accessor_i.h"
#include "oodb/db_constants.h"
#include "oodb/db_table_interface.h"
#include "oodb/db_transaction.h"
#include "oodb/db_type_string_map.h"

class CDBBaseSession;

// The handle of one table for one thread (made by CDBAccessorI::
// registerThread): the table's statements, its column definitions and the
// thread's current transaction on it. A transaction that may write (access
// mode read-write or append) holds the table's write lock until it ends, so
// the writers of a table follow one another across threads.
//
// The persistent layer asks for a transaction with a transaction type, which
// says whether the operation starts a transaction, continues one the caller
// started or may run alone, and whether it reads through a cursor:
//
//   type  name                  commit type  without a transaction   cursor
//   0     TRANS_READ            0            created, with a warning  no
//   1     TRANS_READ_CURSOR     0            created, with a warning  yes
//   2     TRANS_WRITE_SHORT     1            created, with a warning  no
//   3     TRANS_BEGIN           0            created                  no
//   4     TRANS_BEGIN_CURSOR    0            created                  yes
//   5     TRANS_BEGIN_SHORT     1            created                  no
//   6     TRANS_CONTINUE_SHORT  1            refused                  no
//   7     TRANS_CONTINUE        0            refused                  no
//   8     TRANS_CONTINUE_CURSOR 0            refused                  yes
//   9     TRANS_WRITE           0            created, with a warning  no
//   10    TRANS_WRITE_CURSOR    0            created, with a warning  yes
//
// Commit type 1 (short) commits each operation as it is done; commit type 0
// (long) commits when the caller ends the transaction.
class CDBTableInterfaceProxy {
public:
    enum trans_type {
        TRANS_READ = 0,
        TRANS_READ_CURSOR = 1,
        TRANS_WRITE_SHORT = 2,
        TRANS_BEGIN = 3,
        TRANS_BEGIN_CURSOR = 4,
        TRANS_BEGIN_SHORT = 5,
        TRANS_CONTINUE_SHORT = 6,
        TRANS_CONTINUE = 7,
        TRANS_CONTINUE_CURSOR = 8,
        TRANS_WRITE = 9,
        TRANS_WRITE_CURSOR = 10,
    };

    // A transaction still open when the handle goes is rolled back (by the
    // transaction's own destructor) before the write lock is released.
    CDBTableInterfaceProxy(CDBAccessorI& accessor, CDBBaseSession& session);
    CDBTableInterfaceProxy(const CDBTableInterfaceProxy&) = delete;
    CDBTableInterfaceProxy& operator=(const CDBTableInterfaceProxy&) = delete;

    const std::string& tableName() const { return _accessor.tableName(); }
    CDBAccessorI& accessor() const { return _accessor; }
    CDBBaseSession& session() const { return _session; }
    CDBTableInterface& table() { return _table; }
    // The columns written (input) and read by a select (output).
    const CDBTypeStringMap& inputDefs() const { return _table.expander().inputDefs(); }
    const CDBTypeStringMap& outputDefs() const { return _accessor.columnDefs(); }

    // The transaction for an operation of transType in accessMode. A
    // transaction that has ended is dropped first. An open transaction is
    // kept when its access mode serves the request (adapt-to-any joins
    // whatever is open); otherwise it is committed and a new one started,
    // with the warning "Requested access mode is %1, current is %2, implies
    // a restart of the transaction.". Adapt-to-any without an open
    // transaction starts a read-write one.
    //
    // Throws "Unable to continue transaction." for a type that assumes an
    // open transaction when there is none ("Requested transaction type
    // assumes a transaction already exists.") or for a type outside 0 to 10
    // ("Undefined transaction type."); "Failed to continue transaction."
    // when the database cannot commit or start one (the database's error
    // code is kept); "Failed to acquire a lock on database '%1'." when
    // another thread's write transaction on the table outlasts the lock
    // time-out.
    CDBTransaction& createTransaction(int transType, CDBConstants::trans_access_mode accessMode);
    // Starts (or keeps, as above) a transaction explicitly.
    CDBTransaction& begin(CDBConstants::trans_access_mode accessMode);
    // Commits the open transaction and closes it; nothing when none is open.
    void end();
    // Rolls back the open transaction and closes it; nothing when none is
    // open.
    void closeTransaction();

    // The open transaction; null when there is none.
    CDBTransaction* transaction() const { return _transaction.get(); }
    // Whether the open transaction was asked for with a cursor.
    bool cursorSupported() const { return _cursorSupported; }

private:
    void _start(int transType, CDBConstants::trans_access_mode accessMode, bool cursor);
    void _restart(int transType, CDBConstants::trans_access_mode accessMode, bool cursor);
    void _warn(const osk::CMessage& message) const;

    CDBAccessorI& _accessor;
    CDBBaseSession& _session;
    CDBTableInterface _table;
    // Declared before the transaction, so that a transaction still open is
    // rolled back before another thread may write.
    std::unique_ptr<CDBAccessorI::CWriteLock> _writeLock;
    std::unique_ptr<CDBTransaction> _transaction;
    bool _cursorSupported = false;
};
