#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_connection_settings.h"
#include "oodb/db_database_proxy_i.h"

namespace fbprov {

// The object database layer's connection to a Firebird database: opens
// (or creates) the database the settings name and owns the attachment. A
// database server that restarts, or a network that breaks, ends an
// attachment for good; the proxy then replaces it with a new one, while
// the transactions still on the old one keep it until they end.
class CFbDatabaseProxy : public CDBDatabaseProxyI {
public:
    explicit CFbDatabaseProxy(const CFbConnectionSettings& settings);

    std::string implementation() const override;
    std::string location() const override { return _settings.connectionString(); }
    std::shared_ptr<CFbAttachment> attachment() const;
    // Opens a new attachment in place of lost, unless another thread has
    // already done so; returns the current one. Throws when the database
    // cannot be reached, and, for retryPause after a failed attempt,
    // without trying again: a server that does not answer holds each
    // attempt for the connect time-out, and the caller may be the thread
    // that serves every transfer.
    std::shared_ptr<CFbAttachment> reattach(const std::shared_ptr<CFbAttachment>& lost);
    // How many times a lost attachment was replaced.
    uint64_t reattachments() const;
    void retryPause(std::chrono::milliseconds pause) { _retryPause = pause; }
    static constexpr std::chrono::milliseconds defaultRetryPause{5000};

    // The Firebird connection behind a proxy of the layer; throws when the
    // proxy belongs to another implementation.
    static CFbDatabaseProxy& of(CDBDatabaseProxyI& proxy);

private:
    CFbConnectionSettings _settings;
    mutable std::mutex _mutex;
    std::shared_ptr<CFbAttachment> _attachment;
    uint64_t _reattachments = 0;
    std::chrono::milliseconds _retryPause = defaultRetryPause;
    // When the last attempt to replace the attachment failed, if it did.
    std::chrono::steady_clock::time_point _failedAt;
    bool _failed = false;
};

} // namespace fbprov
