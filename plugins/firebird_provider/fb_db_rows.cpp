#include "firebird_provider/fb_db_rows.h"

#include <utility>

namespace fbprov {

CFbDBRows::CFbDBRows(std::unique_ptr<CFbStatement> statement, std::unique_ptr<CFbResultSet> rows)
    : _statement(std::move(statement)), _rows(std::move(rows))
{
}

// The cursor closes before its statement is freed.
CFbDBRows::~CFbDBRows() { _rows.reset(); }

} // namespace fbprov
