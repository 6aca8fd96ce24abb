#pragma once

#include <cstdint>
#include <string>

#include "oodb/db_type_string_map.h"

// Turns a statement template into the statement of one table: the
// placeholders of CDBConstants are replaced by the table name, its upper-case
// form, and lists built from the table's input columns in sorted name order.
// The template is scanned once, so a table or column name that itself looks
// like a placeholder is copied, never expanded again. An unknown "<<...>>"
// is left as it is.
class CDBStatementExpander {
public:
    CDBStatementExpander(std::string tableName, CDBTypeStringMap inputDefs);

    // The template with every placeholder replaced.
    std::string expand(const std::string& templateText) const;

    // The named template of CDBConstants expanded for this table, with the
    // name of the template's cursor appended where the statement ends on a
    // cursor. Throws "Unable to find precompiled statement '%1'." (why "No
    // such statement.") for a name without a template.
    std::string statement(const std::string& templateName) const;

    // statement followed by a blank and the cursor name when it ends with
    // "FOR UPDATE OF" or "WHERE CURRENT OF"; otherwise statement unchanged.
    static std::string withCursor(const std::string& statement, uint32_t cursorNumber);
    // Whether statement ends with one of the cursor endings.
    static bool needsCursor(const std::string& statement);

    // "NAME=?" per column, joined by ",".
    std::string fields() const;
    // The column names joined by ",".
    std::string fieldNames() const;
    // One "?" per column, joined by ",".
    std::string fieldValues() const;
    // The name of the primary key constraint: the table name and "_primary".
    std::string constraintName() const;

    const std::string& tableName() const { return _tableName; }
    const CDBTypeStringMap& inputDefs() const { return _inputDefs; }

private:
    std::string _tableName;
    CDBTypeStringMap _inputDefs;
};
