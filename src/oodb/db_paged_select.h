#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "extended/message.h"
#include "oodb/column_query.h"
#include "oodb/db_rows.h"
#include "oodb/db_table_interface.h"
#include "oodb/db_transaction.h"
#include "oodb/db_value.h"
#include "oodb/query_factory.h"
#include "oodb/row_query.h"
#include "standard/string_map.h"

// A select on one table (aliased T) read page by page. The select arguments
// choose the pager (CQueryFactory) and shape the select:
//   "pager_type"     "db" (row numbers) or "pk" (key windows);
//   "sort_property"  a column as "T.<column>", wins over "sort_column";
//   "sort_column"    a column of the table; sorting by anything but the key
//                    pages by rows;
//   "sort_order"     "asc" (the default) or "desc";
//   "where"          the caller's condition on T, with "?" for each value;
//   "count"          the objects wanted per page (default 50).
// The values of the condition are bound as parameters, never written into
// the text. The sort column must be a column of the table.
//
// Row pages are "ROWS low TO high" over the sorted select, ties broken by
// the key so that every row comes exactly once; a page holds the row
// pager's page size (at least 1000 rows). A sort column that is unique and
// NOT NULL needs no tie-break: without it, the engine reads the rows in the
// order of the column's index and stops at the page's end instead of
// sorting the whole table for every page. Key pages gather "count" rows from
// windows of key values between the table's lowest and highest key; a window
// that runs dry before the page is full is followed by a window twice as wide
// (up to the largest window), so sparse keys cost few selects.
class CDBPagedSelect {
public:
    using row_visitor_t = std::function<void(const CDBRows&)>;

    // Throws for a wrong pager type, an unknown sort column or sort order.
    CDBPagedSelect(const CDBTableInterface& table, const osk::CStringMap& selectArgs,
                   CDBValues whereValues = CDBValues());

    CQueryFactory::pager_kind pagerKind() const { return _kind; }
    bool ascending() const { return _ascending; }
    // The select of the row pager without its row range ("ROWS ? TO ?");
    // empty before the first page.
    const std::string& rowSelect() const { return _rowSelect; }

    // Reads the next page in transaction and hands each row to visit, in
    // order; returns the number of rows of the page, 0 once the select is
    // exhausted.
    uint64_t nextPage(CDBTransaction& transaction, const row_visitor_t& visit);
    bool done() const { return _done; }

    // The pagers' state, for callers that report progress (null for the
    // pager not in use, and for the key pager before its first page).
    const CRowQuery* rowQuery() const { return _rows ? &*_rows : nullptr; }
    const CColumnQuery* columnQuery() const { return _columns ? &*_columns : nullptr; }
    // Selects run so far.
    uint64_t selects() const { return _selects; }

private:
    uint64_t _nextRowPage(CDBTransaction& transaction, const row_visitor_t& visit);
    uint64_t _nextKeyPage(CDBTransaction& transaction, const row_visitor_t& visit);
    // Sets up the key windows from the table's lowest and highest key; false
    // for an empty table.
    bool _openKeyWindows(CDBTransaction& transaction);
    // The key of the row the template's statement selects; nullopt when the
    // table is empty.
    std::optional<int64_t> _boundKey(CDBTransaction& transaction, const char* templateName);
    // Runs sql and hands its rows to visit; returns how many there were and
    // the key of the last one in lastKey.
    uint64_t _visitRows(CDBTransaction& transaction, const std::string& sql, const CDBValues& values,
                        const row_visitor_t& visit, int64_t* lastKey);
    std::string _sortColumnOf(const osk::CStringMap& selectArgs) const;
    // The row pager's select, its ORDER BY with the key as tie-break unless
    // the sort column orders the rows on its own.
    std::string _makeRowSelect(CDBTransaction& transaction) const;
    [[noreturn]] void _refuse(const osk::CMessage& why) const;

    const CDBTableInterface& _table;
    CQueryFactory::pager_kind _kind;
    bool _ascending = true;
    std::string _where;
    CDBValues _whereValues;
    uint64_t _count;
    std::string _sortColumn;
    std::string _rowSelect;
    std::optional<CRowQuery> _rows;
    std::optional<CColumnQuery> _columns;
    bool _done = false;
    uint64_t _selects = 0;
};
