#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_connection_settings.h"
#include "oodb/db_database_proxy_i.h"

namespace fbprov {

// The object database layer's connection to a Firebird database: opens
// (or creates) the database the settings name and owns the attachment. A
// database server that restarts, or a network that breaks, ends an
// attachment for good; the proxy then replaces it with a new one, while
// the transactions still on the old one keep it until they end. Unless the
// settings' answer time-out is 0, one watchdog bounds the calls of the
// transactions on every attachment the proxy opens.
class CFbDatabaseProxy : public CDBDatabaseProxyI {
public:
    explicit CFbDatabaseProxy(const CFbConnectionSettings& settings);
    // Waits for a new connection still being opened.
    ~CFbDatabaseProxy() override;
    CFbDatabaseProxy(const CFbDatabaseProxy&) = delete;
    CFbDatabaseProxy& operator=(const CFbDatabaseProxy&) = delete;

    std::string implementation() const override;
    std::string location() const override { return _settings.connectionString(); }
    std::shared_ptr<CFbAttachment> attachment() const;
    // The attachment in place of lost: the current one when another
    // thread has replaced it already, else a new one. The new connection is
    // opened on a thread of its own, and the callers wait for it at most
    // reconnectWait after the attempt began: a server that takes the
    // connection and never answers holds an attempt for the connect
    // time-out, and a caller may be the thread that serves every transfer.
    // Throws when the attempt failed, when it is still under way after that
    // wait, and, for retryPause after a failed attempt, without trying
    // again.
    std::shared_ptr<CFbAttachment> reattach(const std::shared_ptr<CFbAttachment>& lost);
    // How many times a lost attachment was replaced.
    uint64_t reattachments() const;
    void retryPause(std::chrono::milliseconds pause);
    static constexpr std::chrono::milliseconds defaultRetryPause{5000};
    static constexpr std::chrono::milliseconds reconnectWait{1000};
    // Null when calls are not bounded.
    CFbCallWatchdog* watchdog() const { return _watchdog.get(); }

    // The Firebird connection behind a proxy of the layer; throws when the
    // proxy belongs to another implementation.
    static CFbDatabaseProxy& of(CDBDatabaseProxyI& proxy);

private:
    // A new attachment, watched by the proxy's watchdog.
    std::shared_ptr<CFbAttachment> _open() const;
    // The body of the thread that opens a new connection; retryPause is
    // the pause its failure would start.
    void _reopen(std::chrono::milliseconds retryPause);
    // Throws CONNECTION_LOST "Cannot reconnect to the database" with why.
    [[noreturn]] void _cannotReconnect(const osk::CMessage& why) const;

    CFbConnectionSettings _settings;
    // Shared with the attachments, which the transactions may keep a while.
    std::shared_ptr<CFbCallWatchdog> _watchdog;
    mutable std::mutex _mutex;
    std::shared_ptr<CFbAttachment> _attachment;
    uint64_t _reattachments = 0;
    std::chrono::milliseconds _retryPause = defaultRetryPause;
    // The attempt under way, if any, and when it began.
    bool _reopening = false;
    std::chrono::steady_clock::time_point _reopenedAt;
    std::condition_variable _reopened;
    std::thread _reopener;
    // When the last attempt to replace the attachment failed, if it did,
    // and why.
    std::chrono::steady_clock::time_point _failedAt;
    bool _failed = false;
    std::exception_ptr _failure;
};

} // namespace fbprov
