#pragma once

#include <string>

// The connection a provider holds for one database. The controller owns it;
// transactions are started on it through the provider's factory.
class CDBDatabaseProxyI {
public:
    virtual ~CDBDatabaseProxyI() = default;

    // The implementation that opened the connection ("Firebird_DB").
    virtual std::string implementation() const = 0;
    // Where the database is, for messages.
    virtual std::string location() const = 0;
};
