#include "oodb/db_paged_select.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>

#include "extended/exception.h"
#include "oodb/db_constants.h"
#include "oodb/db_messages.h"

namespace {

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The last row number a row page may reach: Firebird takes row numbers as
// signed 64-bit values.
constexpr uint64_t kLastRow = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

} // namespace

CDBPagedSelect::CDBPagedSelect(const CDBTableInterface& table, const osk::CStringMap& selectArgs, CDBValues whereValues)
    : _table(table), _kind(CQueryFactory::pagerKind(selectArgs)), _where(selectArgs.get_string("where", std::string())),
      _whereValues(std::move(whereValues)),
      _count(std::max<uint64_t>(1, selectArgs.get_uint64("count", CDBConstants::defaultMaxObjectsPerSelect)))
{
    const std::string order = selectArgs.get_string("sort_order", std::string());
    if (order == "desc" || order == "DESC") {
        _ascending = false;
    } else if (!order.empty() && order != "asc" && order != "ASC") {
        _refuse(osk::CMessage(CDBMessages::wrongSortOrder).pushs(order));
    }
    if (_kind == CQueryFactory::rowPager) {
        _sortColumn = _sortColumnOf(selectArgs);
        _rows.emplace(_count, kLastRow);
    }
}

std::string CDBPagedSelect::_sortColumnOf(const osk::CStringMap& selectArgs) const
{
    std::string column;
    if (selectArgs.defined("sort_property")) {
        column = selectArgs.get_string("sort_property", std::string());
        if (column.size() > 2 && (column[0] == 'T' || column[0] == 't') && column[1] == '.') column.erase(0, 2);
    } else {
        column = selectArgs.get_string("sort_column", CDBConstants::primaryKeyColumn);
    }
    // The name goes into the statement's text, so it must be one of the
    // table's own columns.
    const std::string upper = upperCase(column);
    if (!_table.expander().inputDefs().isDefined(upper))
        _refuse(osk::CMessage(CDBMessages::noSortColumn).pushs(column));
    return upper;
}

std::string CDBPagedSelect::_makeRowSelect(CDBTransaction& transaction) const
{
    const std::string direction = _ascending ? " ASC" : " DESC";
    std::string order = " ORDER BY T." + _sortColumn + direction;
    // Ties of the sort column are broken by the key: the order is then
    // total, and consecutive row ranges neither repeat nor skip a row.
    if (_sortColumn != CDBConstants::primaryKeyColumn) {
        std::unique_ptr<CDBRows> unique =
            transaction.select(CDBConstants::countUniqueNotNullColumn, {upperCase(_table.tableName()), _sortColumn});
        const bool ordersOnItsOwn = unique->fetch() && unique->asInt64("N") > 0;
        unique->close();
        if (!ordersOnItsOwn) order += std::string(", T.") + CDBConstants::primaryKeyColumn + direction;
    }
    return "SELECT T.* FROM " + _table.tableName() + " T" + (_where.empty() ? std::string() : " WHERE (" + _where + ")") +
           order;
}

void CDBPagedSelect::_refuse(const osk::CMessage& why) const
{
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotPageSelect).pushs(_table.tableName()), why,
                        "CDBPagedSelect::CDBPagedSelect", CDBMessages::moduleOodb);
}

uint64_t CDBPagedSelect::nextPage(CDBTransaction& transaction, const row_visitor_t& visit)
{
    if (_done) return 0;
    const uint64_t rows = _kind == CQueryFactory::rowPager ? _nextRowPage(transaction, visit)
                                                           : _nextKeyPage(transaction, visit);
    if (rows == 0) _done = true;
    return rows;
}

uint64_t CDBPagedSelect::_visitRows(CDBTransaction& transaction, const std::string& sql, const CDBValues& values,
                                    const row_visitor_t& visit, int64_t* lastKey)
{
    ++_selects;
    std::unique_ptr<CDBRows> rows = transaction.select(sql, values);
    uint64_t count = 0;
    while (rows->fetch()) {
        visit(*rows);
        ++count;
        if (lastKey) *lastKey = rows->asInt64(CDBConstants::primaryKeyColumn);
    }
    rows->close();
    return count;
}

uint64_t CDBPagedSelect::_nextRowPage(CDBTransaction& transaction, const row_visitor_t& visit)
{
    if (_rowSelect.empty()) _rowSelect = _makeRowSelect(transaction);
    _rows->computeRange();
    const uint64_t requested = _rows->highRow() - _rows->lowRow() + 1;
    CDBValues values = _whereValues;
    values.emplace_back(static_cast<int64_t>(_rows->lowRow()));
    values.emplace_back(static_cast<int64_t>(_rows->highRow()));
    const uint64_t count = _visitRows(transaction, _rowSelect + " ROWS ? TO ?", values, visit, nullptr);
    _rows->addRecordsSearched(count);
    // A short page was the last one.
    if (count < requested || !_rows->nextPage()) _done = true;
    return count;
}

std::optional<int64_t> CDBPagedSelect::_boundKey(CDBTransaction& transaction, const char* templateName)
{
    ++_selects;
    std::unique_ptr<CDBRows> rows = transaction.select(_table.expander().statement(templateName));
    if (!rows->fetch()) return std::nullopt;
    return rows->asInt64(CDBConstants::primaryKeyColumn);
}

bool CDBPagedSelect::_openKeyWindows(CDBTransaction& transaction)
{
    const std::optional<int64_t> lowest = _boundKey(transaction, "SELECT_PK_LOWER_BOUND");
    const std::optional<int64_t> highest = _boundKey(transaction, "SELECT_PK_UPPER_BOUND");
    if (!lowest || !highest) return false;
    _columns.emplace(_ascending, _ascending ? *lowest : *highest, *lowest, *highest, _count, _where);
    return true;
}

uint64_t CDBPagedSelect::_nextKeyPage(CDBTransaction& transaction, const row_visitor_t& visit)
{
    if (!_columns && !_openKeyWindows(transaction)) return 0;
    const std::string order = std::string(" ORDER BY T.") + CDBConstants::primaryKeyColumn +
                              (_ascending ? " ASC" : " DESC") + " ROWS ?";
    _columns->startPage();
    uint64_t pageRows = 0;
    while (_columns->continueSearch()) {
        const uint64_t wanted = _columns->objectsWanted();
        CDBValues values = _whereValues;
        values.emplace_back(static_cast<int64_t>(std::min(wanted, kLastRow)));
        const std::string sql = "SELECT T.* FROM " + _table.tableName() + " T WHERE " + _columns->condition() + order;
        int64_t lastKey = 0;
        const uint64_t found = _visitRows(transaction, sql, values, visit, &lastKey);
        _columns->addObjectsFound(found);
        pageRows += found;
        if (found == wanted) {
            // The window may hold more rows: the next page goes on after
            // the last key of this one.
            _columns->pageDone(lastKey);
            break;
        }
        // The window ran dry: go on after it, in a window twice as wide.
        const int64_t before = _columns->start();
        if (!_columns->nextPage() || _columns->start() == before) {
            _done = true;
            break;
        }
        _columns->increasePageSize();
    }
    return pageRows;
}
