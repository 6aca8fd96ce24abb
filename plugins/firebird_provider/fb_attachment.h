#pragma once

#include <memory>

#include <firebird/Interface.h>

#include "firebird_provider/fb_call_watchdog.h"
#include "firebird_provider/fb_statement_pool.h"

namespace fbprov {

// Owns one attachment (a connection to one database) and the pool of its
// prepared statements. The destructor frees the pool's statements and
// detaches; an attachment that cannot detach cleanly is released.
class CFbAttachment {
public:
    explicit CFbAttachment(Firebird::IAttachment* attachment) : _attachment(attachment) {}
    ~CFbAttachment();
    CFbAttachment(const CFbAttachment&) = delete;
    CFbAttachment& operator=(const CFbAttachment&) = delete;

    Firebird::IAttachment* get() const { return _attachment; }
    // Shared with the rows of selects, which give their statement back
    // when they close unless the attachment is gone by then.
    const std::shared_ptr<CFbStatementPool>& statements() const { return _statements; }
    // Detaches now; throws osk::CException when Firebird refuses (for
    // example while a transaction is still open).
    void detach();
    // What bounds the calls of the service's transactions on this
    // attachment; null when nothing does. Set once, before the attachment
    // is shared.
    CFbCallWatchdog* watchdog() const { return _watchdog.get(); }
    void watchdog(std::shared_ptr<CFbCallWatchdog> watchdog) { _watchdog = std::move(watchdog); }

private:
    Firebird::IAttachment* _attachment;
    std::shared_ptr<CFbStatementPool> _statements = std::make_shared<CFbStatementPool>();
    std::shared_ptr<CFbCallWatchdog> _watchdog;
};

} // namespace fbprov
