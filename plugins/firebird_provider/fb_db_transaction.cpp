#include "firebird_provider/fb_db_transaction.h"

#include <type_traits>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_db_rows.h"
#include "firebird_provider/fb_error.h"
#include "oodb/db_statement_expander.h"

namespace fbprov {

namespace {

CFbTransaction::access_mode firebirdMode(CDBConstants::trans_access_mode mode)
{
    return mode == CDBConstants::READ_ONLY_ACCESS ? CFbTransaction::readOnly : CFbTransaction::readWrite;
}

CFbValues firebirdValues(const CDBValues& values)
{
    CFbValues out;
    out.reserve(values.size());
    for (const CDBValue& value : values)
        std::visit([&out](const auto& alternative) { out.emplace_back(alternative); }, value);
    return out;
}

} // namespace

CFbDBTransaction::CFbDBTransaction(std::shared_ptr<CFbAttachment> attachment,
                                   CDBConstants::trans_access_mode accessMode, int commitType, unsigned lockTimeout)
    : CDBTransaction(accessMode, commitType), _attachment(std::move(attachment)),
      _transaction(*_attachment, firebirdMode(accessMode), lockTimeout, _attachment->watchdog()),
      _pool(_attachment->statements())
{
}

bool CFbDBTransaction::splitCursorSelect(const std::string& sql, std::string& statement, std::string& cursorName)
{
    const std::string::size_type blank = sql.find_last_of(' ');
    if (blank == std::string::npos) return false;
    const std::string head = sql.substr(0, blank);
    if (!CDBStatementExpander::needsCursor(head) ||
        head.size() < std::char_traits<char>::length(CDBConstants::forUpdateOf) ||
        head.compare(head.size() - std::char_traits<char>::length(CDBConstants::forUpdateOf), std::string::npos,
                     CDBConstants::forUpdateOf) != 0)
        return false;
    cursorName = sql.substr(blank + 1);
    // "FOR UPDATE OF" without its "OF": the cursor name is no column list.
    statement = head.substr(0, head.size() - 3);
    return !cursorName.empty();
}

std::unique_ptr<CFbStatement> CFbDBTransaction::_statement(const std::string& sql)
{
    if (std::unique_ptr<CFbStatement> free = _pool->take(sql)) return free;
    std::string text = sql;
    std::string cursorName;
    splitCursorSelect(sql, text, cursorName);
    auto statement = std::make_unique<CFbStatement>(_transaction, text);
    ++_prepared;
    if (!cursorName.empty()) statement->cursorName(cursorName);
    return statement;
}

uint64_t CFbDBTransaction::execute(const std::string& sql, const CDBValues& values)
{
    std::unique_ptr<CFbStatement> statement = _statement(sql);
    const uint64_t changed = statement->execute(_transaction, firebirdValues(values));
    _pool->give(sql, std::move(statement));
    return changed;
}

std::unique_ptr<CDBRows> CFbDBTransaction::select(const std::string& sql, const CDBValues& values)
{
    std::unique_ptr<CFbStatement> statement = _statement(sql);
    std::unique_ptr<CFbResultSet> rows = statement->select(_transaction, firebirdValues(values));
    return std::make_unique<CFbDBRows>(sql, std::move(statement), std::move(rows), _pool);
}

void CFbDBTransaction::commit() { _transaction.commit(); }

void CFbDBTransaction::rollback() { _transaction.rollback(); }

CFbTransaction& CFbDBTransaction::of(CDBTransaction& transaction)
{
    CFbDBTransaction* firebird = dynamic_cast<CFbDBTransaction*>(&transaction);
    if (!firebird)
        throw CFbError::make(osk::CMessage("Cannot use a transaction of another database implementation."),
                             osk::CMessage("Only Firebird transactions reach a Firebird database."),
                             "CFbDBTransaction::of");
    return firebird->_transaction;
}

} // namespace fbprov
