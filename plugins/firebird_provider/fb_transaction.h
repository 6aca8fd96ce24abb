#pragma once

#include <firebird/Interface.h>

#include "firebird_provider/fb_call_watchdog.h"

namespace fbprov {

class CFbAttachment;

// Owns one transaction. It starts in the constructor (read committed, record
// versions, waiting up to the lock time-out for a locked record, or not at
// all with noWait) and ends by commit() or rollback(); one still active when
// destroyed is rolled back. With a watchdog, each call made for the
// transaction (its own, and those of its statements, rows and blobs) is
// bounded by it.
class CFbTransaction {
public:
    enum access_mode { readWrite, readOnly };
    static constexpr unsigned defaultLockTimeout = 10; // seconds
    static constexpr unsigned noWait = 0;

    CFbTransaction(CFbAttachment& attachment, access_mode mode, unsigned lockTimeout = defaultLockTimeout,
                   CFbCallWatchdog* watchdog = nullptr);
    ~CFbTransaction();
    CFbTransaction(const CFbTransaction&) = delete;
    CFbTransaction& operator=(const CFbTransaction&) = delete;

    Firebird::ITransaction* get() const { return _transaction; }
    CFbAttachment& attachment() const { return _attachment; }
    access_mode mode() const { return _mode; }
    bool active() const { return _transaction != nullptr; }
    // Watches one call made for this transaction, when it has a watchdog.
    CFbCallWatchdog::CWatch watch() const;

    void commit();
    // Commits and keeps the transaction (and its cursors) open.
    void commitRetaining();
    void rollback();

private:
    // Throws when the transaction has already ended.
    Firebird::ITransaction* _live(const char* context) const;

    CFbAttachment& _attachment;
    access_mode _mode;
    CFbCallWatchdog* _watchdog;
    Firebird::ITransaction* _transaction = nullptr;
};

} // namespace fbprov
