#include "firebird_provider/fb_db_rows.h"

#include <utility>

namespace fbprov {

CFbDBRows::CFbDBRows(std::string sql, std::unique_ptr<CFbStatement> statement, std::unique_ptr<CFbResultSet> rows,
                     std::weak_ptr<CFbStatementPool> pool)
    : _sql(std::move(sql)), _statement(std::move(statement)), _rows(std::move(rows)), _pool(std::move(pool))
{
}

// The cursor closes before its statement is freed or runs again; a
// statement whose cursor would not close is not run again.
CFbDBRows::~CFbDBRows()
{
    const bool closed = _rows->closeQuietly();
    _rows.reset();
    if (!closed) return;
    if (std::shared_ptr<CFbStatementPool> pool = _pool.lock()) pool->give(_sql, std::move(_statement));
}

} // namespace fbprov
