#include "prst_generic/prst_link_rows.h"

#include <algorithm>
#include <utility>

#include "prst_generic/prst_context.h"

namespace {
// The rows of one owner's attribute, through the statement file.
const char* const kLinkRowsStatement = "link2many.src.ref_name";
} // namespace

CPrstLinkRows::CPrstLinkRows(std::string table, std::string attribute, std::string targetAttribute, kind_t kind)
    : _table(std::move(table)), _attribute(std::move(attribute)), _targetAttribute(std::move(targetAttribute)),
      _kind(kind)
{
}

CPrstLinkRows::entries_t CPrstLinkRows::read(CPrstContext& context, int64_t owner) const
{
    struct row_t {
        int64_t sequence;
        entry_t entry;
    };
    std::vector<row_t> rows;
    {
        auto found = context.transaction().select(context.statement(kLinkRowsStatement, _table), {_attribute, owner});
        while (found->fetch()) {
            row_t row{0, {found->asInt64("DEST_ATTR_REF"), std::string()}};
            if (_kind == ordered) row.sequence = found->asInt64("DEST_SEQ_KEY");
            if (_kind == byName) row.entry.name = found->asString("DEST_NAME_KEY");
            rows.push_back(row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const row_t& a, const row_t& b) { return a.sequence < b.sequence; });
    entries_t entries;
    for (const row_t& row : rows) entries.push_back(row.entry);
    return entries;
}

void CPrstLinkRows::write(CPrstContext& context, int64_t owner, const entries_t& entries) const
{
    remove(context, owner);
    std::string sql = "INSERT INTO " + _table + " (PK, OID, SRC_ATTR_NAME, SRC_ATTR_REF, DEST_ATTR_NAME, DEST_ATTR_REF";
    if (_kind == ordered) sql += ", DEST_SEQ_KEY";
    if (_kind == byName) sql += ", DEST_NAME_KEY";
    sql += _kind == plain ? ") VALUES (?, ?, ?, ?, ?, ?)" : ") VALUES (?, ?, ?, ?, ?, ?, ?)";
    int64_t sequence = 0;
    for (const entry_t& entry : entries) {
        const int64_t key = context.nextKey(_table);
        const CDBValue extra = _kind == ordered ? CDBValue(++sequence) : CDBValue(entry.name);
        CDBValues values{key, key, _attribute, owner, _targetAttribute, entry.target, extra};
        if (_kind == plain) values.pop_back();
        context.transaction().execute(sql, values);
    }
}

void CPrstLinkRows::remove(CPrstContext& context, int64_t owner) const
{
    context.transaction().execute("DELETE FROM " + _table + " WHERE SRC_ATTR_NAME = ? AND SRC_ATTR_REF = ?",
                                  {_attribute, owner});
}
