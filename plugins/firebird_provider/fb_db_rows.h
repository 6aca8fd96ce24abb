#pragma once

#include <memory>
#include <string>

#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_statement.h"
#include "firebird_provider/fb_statement_pool.h"
#include "oodb/db_rows.h"

namespace fbprov {

// The rows of a select for the object database layer. Holds the statement
// as well as its cursor, so that each select has a cursor of its own; once
// the cursor is closed, the statement goes back to its attachment's pool
// (when the attachment still exists) for the next select of its text.
class CFbDBRows : public CDBRows {
public:
    CFbDBRows(std::string sql, std::unique_ptr<CFbStatement> statement, std::unique_ptr<CFbResultSet> rows,
              std::weak_ptr<CFbStatementPool> pool);
    ~CFbDBRows() override;

    bool fetch() override { return _rows->fetch(); }
    void close() override { _rows->close(); }
    bool isNull(const std::string& column) const override { return _rows->isNull(column); }
    int64_t asInt64(const std::string& column) const override { return _rows->asInt64(column); }
    double asDouble(const std::string& column) const override { return _rows->asDouble(column); }
    std::string asString(const std::string& column) const override { return _rows->asString(column); }
    osk::CTimeT asTime(const std::string& column) const override { return _rows->asTime(column); }
    std::string firstColumn() const override { return _rows->columnName(0); }

private:
    std::string _sql;
    std::unique_ptr<CFbStatement> _statement;
    std::unique_ptr<CFbResultSet> _rows;
    std::weak_ptr<CFbStatementPool> _pool;
};

} // namespace fbprov
