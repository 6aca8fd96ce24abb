#include "firebird_provider/fb_database_proxy.h"

#include "firebird_provider/fb_connector.h"
#include "firebird_provider/fb_error.h"
#include "oodb/db_constants.h"

namespace fbprov {

CFbDatabaseProxy::CFbDatabaseProxy(const CFbConnectionSettings& settings)
    : _settings(settings), _attachment(CFbConnector::open(settings))
{
}

std::string CFbDatabaseProxy::implementation() const { return CDBConstants::firebirdImplementation; }

std::shared_ptr<CFbAttachment> CFbDatabaseProxy::attachment() const
{
    std::lock_guard<std::mutex> guard(_mutex);
    return _attachment;
}

std::shared_ptr<CFbAttachment> CFbDatabaseProxy::reattach(const std::shared_ptr<CFbAttachment>& lost)
{
    std::lock_guard<std::mutex> guard(_mutex);
    if (_attachment != lost)
        return _attachment;
    const auto now = std::chrono::steady_clock::now();
    if (_failed && now - _failedAt < _retryPause)
        throw CDBException(
            CFbError::make(osk::CMessage("Cannot reconnect to the database '%1'.").pushs(location()),
                           osk::CMessage("The connection was lost and the last attempt to open a new one failed "
                                         "less than %1 ms ago; a transaction after that tries again.")
                               .pushs(std::to_string(_retryPause.count())),
                           "CFbDatabaseProxy::reattach"),
            CDBErrorCodeMap::CONNECTION_LOST);
    try {
        _attachment = CFbConnector::open(_settings);
    } catch (const osk::CException& e) {
        _failed = true;
        _failedAt = std::chrono::steady_clock::now();
        syslog(osk::CException::error,
               osk::CMessage("The connection to the database '%1' was lost and a new one cannot be opened: %2 "
                             "Transactions fail until one can; the next attempt is made in %3 ms.")
                   .pushs(location())
                   .pushs(e.printableError())
                   .pushs(std::to_string(_retryPause.count())));
        throw;
    }
    _failed = false;
    ++_reattachments;
    syslog(osk::CException::warning,
           osk::CMessage("The connection to the database '%1' was lost; a new connection is open.").pushs(location()));
    return _attachment;
}

uint64_t CFbDatabaseProxy::reattachments() const
{
    std::lock_guard<std::mutex> guard(_mutex);
    return _reattachments;
}

CFbDatabaseProxy& CFbDatabaseProxy::of(CDBDatabaseProxyI& proxy)
{
    CFbDatabaseProxy* firebird = dynamic_cast<CFbDatabaseProxy*>(&proxy);
    if (!firebird)
        throw CFbError::make(osk::CMessage("Cannot use a connection of '%1' for Firebird.").pushs(proxy.implementation()),
                             osk::CMessage("The connection was opened by another database implementation."),
                             "CFbDatabaseProxy::of");
    return *firebird;
}

} // namespace fbprov
