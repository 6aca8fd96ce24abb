#pragma once

#include <memory>
#include <string>

#include "oodb/db_base_session.h"
#include "oodb/db_statement_file_reader.h"
#include "oodb/db_transaction.h"
#include "security/user_access_token.h"

// The surroundings of persistent objects: the database session they are read
// and written through, the named statements they look objects up with, the
// access token of the user they act for, and whether domains travel in text
// as decimal ids instead of names (serializeNumeric).
//
// Objects read and write within the context's current transaction, which a
// CPrstTransaction opens and closes; several objects can so change together.
class CPrstContext {
public:
    CPrstContext(CDBBaseSession& session, const CDBStatementFileReader& statements, const osk::CUserAccessToken& token);
    virtual ~CPrstContext();
    CPrstContext(const CPrstContext&) = delete;
    CPrstContext& operator=(const CPrstContext&) = delete;

    CDBBaseSession& session() const { return _session; }
    const CDBStatementFileReader& statements() const { return _statements; }

    const osk::CUserAccessToken& token() const { return _token; }
    void token(const osk::CUserAccessToken& token) { _token = token; }

    bool serializeNumeric() const { return _serializeNumeric; }
    void serializeNumeric(bool numeric) { _serializeNumeric = numeric; }

    // The SQL of a named statement; a template of a table group gets table
    // in place of its table placeholder. Throws when the file has no such
    // statement.
    std::string statement(const std::string& name, const std::string& table = std::string()) const;

    // The open transaction; throws when none is open.
    CDBTransaction& transaction() const;
    bool inTransaction() const { return _transaction != nullptr; }
    void begin(CDBConstants::trans_access_mode mode);
    void commit();
    // Rolls back the open transaction, if any.
    void rollback() noexcept;

    // The next identity of a row of table, from the table's sequence.
    int64_t nextKey(const std::string& table) const;

    // A token that holds the administrators' domain with every right: for
    // work of the service itself rather than of a console user.
    static osk::CUserAccessToken administratorToken();

private:
    CDBBaseSession& _session;
    const CDBStatementFileReader& _statements;
    osk::CUserAccessToken _token;
    bool _serializeNumeric = false;
    std::unique_ptr<CDBTransaction> _transaction;
};
