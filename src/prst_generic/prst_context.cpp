#include "prst_generic/prst_context.h"

#include "extended/exception.h"
#include "oodb/db_statement_expander.h"
#include "prst_generic/prst_generic_messages.h"

using M = CPrstGenericMessages;

CPrstContext::CPrstContext(CDBBaseSession& session, const CDBStatementFileReader& statements,
                           const osk::CUserAccessToken& token)
    : _session(session), _statements(statements), _token(token)
{
}

CPrstContext::~CPrstContext()
{
    rollback();
}

std::string CPrstContext::statement(const std::string& name, const std::string& table) const
{
    if (!_statements.exists(name))
        throw OSK_EXCEPTION(osk::CMessage(M::noStatement, M::module).pushs(name), osk::CMessage(),
                            "CPrstContext::statement", M::module);
    const std::string& text = _statements.find(name).statement;
    if (table.empty()) return text;
    return CDBStatementExpander(table, CDBTypeStringMap()).expand(text);
}

CDBTransaction& CPrstContext::transaction() const
{
    if (!_transaction)
        throw OSK_EXCEPTION(osk::CMessage(M::noTransaction, M::module), osk::CMessage(), "CPrstContext::transaction",
                            M::module);
    return *_transaction;
}

void CPrstContext::begin(CDBConstants::trans_access_mode mode)
{
    if (_transaction)
        throw OSK_EXCEPTION(osk::CMessage(M::transactionOpen, M::module), osk::CMessage(), "CPrstContext::begin",
                            M::module);
    _transaction = _session.beginTransaction(mode);
}

void CPrstContext::commit()
{
    transaction().commit();
    _transaction.reset();
}

void CPrstContext::rollback() noexcept
{
    if (!_transaction) return;
    try {
        if (_transaction->isActiveTransaction()) _transaction->rollback();
    } catch (const osk::CException&) {
        // The transaction is dropped either way; an engine that lost it has
        // nothing left to undo.
    }
    _transaction.reset();
}

int64_t CPrstContext::nextKey(const std::string& table) const
{
    auto rows = transaction().select("SELECT GEN_ID(" + table + ", 1) AS NEXT_KEY FROM RDB$DATABASE");
    rows->fetch();
    return rows->asInt64("NEXT_KEY");
}

osk::CUserAccessToken CPrstContext::administratorToken()
{
    osk::CUserAccessToken token;
    token.grantAccess(osk::CDomainID::superUsersID(), "*", osk::CAccessRights(osk::CAccessRights::all));
    return token;
}
