#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "extended/message.h"

// The connection a provider holds for one database. The controller owns it;
// transactions are started on it through the provider's factory.
class CDBDatabaseProxyI {
public:
    using log_t = std::function<void(uint32_t severity, const osk::CMessage& message)>;

    virtual ~CDBDatabaseProxyI() = default;

    // The implementation that opened the connection ("Firebird_DB").
    virtual std::string implementation() const = 0;
    // Where the database is, for messages.
    virtual std::string location() const = 0;

    // Where the connection reports what happens to it once it is open (a
    // lost connection replaced, for one); nowhere until it is set.
    void logTo(log_t log) { _log = std::move(log); }

protected:
    void syslog(uint32_t severity, const osk::CMessage& message) const
    {
        if (_log) _log(severity, message);
    }

private:
    log_t _log;
};
