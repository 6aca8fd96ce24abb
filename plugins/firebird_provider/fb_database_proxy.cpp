#include "firebird_provider/fb_database_proxy.h"

#include "firebird_provider/fb_connector.h"
#include "firebird_provider/fb_error.h"
#include "oodb/db_constants.h"

namespace fbprov {

CFbDatabaseProxy::CFbDatabaseProxy(const CFbConnectionSettings& settings)
    : _settings(settings),
      _watchdog(settings.answerTimeout().count() > 0
                    ? std::make_shared<CFbCallWatchdog>(settings.answerTimeout(), settings.connectionString())
                    : nullptr),
      _attachment(_open())
{
    if (_watchdog)
        _watchdog->logTo([this](uint32_t severity, const osk::CMessage& message) { syslog(severity, message); });
}

std::string CFbDatabaseProxy::implementation() const { return CDBConstants::firebirdImplementation; }

CFbDatabaseProxy::~CFbDatabaseProxy()
{
    // The watchdog may outlive the proxy in a transaction's attachment.
    if (_watchdog) _watchdog->logTo(nullptr);
    if (_reopener.joinable()) _reopener.join();
}

std::shared_ptr<CFbAttachment> CFbDatabaseProxy::_open() const
{
    std::shared_ptr<CFbAttachment> attachment = CFbConnector::open(_settings);
    attachment->watchdog(_watchdog);
    return attachment;
}

std::shared_ptr<CFbAttachment> CFbDatabaseProxy::attachment() const
{
    std::lock_guard<std::mutex> guard(_mutex);
    return _attachment;
}

void CFbDatabaseProxy::_cannotReconnect(const osk::CMessage& why) const
{
    throw CDBException(CFbError::make(osk::CMessage("Cannot reconnect to the database '%1'.").pushs(location()), why,
                                      "CFbDatabaseProxy::reattach"),
                       CDBErrorCodeMap::CONNECTION_LOST);
}

std::shared_ptr<CFbAttachment> CFbDatabaseProxy::reattach(const std::shared_ptr<CFbAttachment>& lost)
{
    std::unique_lock<std::mutex> lock(_mutex);
    if (_attachment != lost)
        return _attachment;
    if (!_reopening) {
        const auto now = std::chrono::steady_clock::now();
        if (_failed && now - _failedAt < _retryPause)
            _cannotReconnect(osk::CMessage("The connection was lost and the last attempt to open a new one failed "
                                           "less than %1 ms ago; a transaction after that tries again.")
                                 .pushs(std::to_string(_retryPause.count())));
        // The thread of the attempt before has ended: it cleared _reopening.
        if (_reopener.joinable()) _reopener.join();
        _reopening = true;
        _reopenedAt = now;
        _reopener = std::thread([this, pause = _retryPause] { _reopen(pause); });
    }
    _reopened.wait_until(lock, _reopenedAt + reconnectWait, [this] { return !_reopening; });
    if (_attachment != lost)
        return _attachment;
    if (_reopening)
        _cannotReconnect(osk::CMessage("A new connection is still being opened after %1 ms; transactions fail until "
                                       "it is open.")
                             .pushs(std::to_string(reconnectWait.count())));
    std::rethrow_exception(_failure);
}

void CFbDatabaseProxy::_reopen(std::chrono::milliseconds retryPause)
{
    std::shared_ptr<CFbAttachment> fresh;
    std::exception_ptr failure;
    try {
        fresh = _open();
    } catch (const osk::CException& e) {
        failure = std::current_exception();
        syslog(osk::CException::error,
               osk::CMessage("The connection to the database '%1' was lost and a new one cannot be opened: %2 "
                             "Transactions fail until one can; the next attempt is made in %3 ms.", CFbError::module)
                   .pushs(location())
                   .pushs(e.printableError())
                   .pushs(std::to_string(retryPause.count())));
    }
    if (fresh)
        syslog(osk::CException::warning,
               osk::CMessage("The connection to the database '%1' was lost; a new connection is open.",
                             CFbError::module)
                   .pushs(location()));
    {
        std::lock_guard<std::mutex> guard(_mutex);
        _reopening = false;
        if (fresh) {
            // The lost attachment leaves with the last transaction on it,
            // or here, outside the lock.
            _attachment.swap(fresh);
            _failed = false;
            ++_reattachments;
        } else {
            _failed = true;
            _failedAt = std::chrono::steady_clock::now();
            _failure = failure;
        }
    }
    _reopened.notify_all();
}

void CFbDatabaseProxy::retryPause(std::chrono::milliseconds pause)
{
    std::lock_guard<std::mutex> guard(_mutex);
    _retryPause = pause;
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
