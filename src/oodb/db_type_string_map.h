#pragma once

#include <string>
#include <vector>

#include "oodb/db_field_type.h"
#include "standard/string_map.h"

// Column definitions of a table or statement: column name to the reserved
// text of the column's type ("PK=[__DB_TYPE_LONG__]").
class CDBTypeStringMap : public osk::CStringMap {
public:
    CDBTypeStringMap() = default;
    // Parses a definition text, one column=type per line.
    explicit CDBTypeStringMap(const std::string& text) : osk::CStringMap(text) {}
    ~CDBTypeStringMap() override = default;

    std::string typeName() const override { return "CDBTypeStringMap"; }

    // Defines (or redefines) column as type.
    void setType(const std::string& column, CDBFieldType::type_t type);
    // The type of column: DB_TYPE_UNKNOWN when the column is not defined or
    // its value is not a type text.
    CDBFieldType::type_t type(const std::string& column) const;
    bool isDefined(const std::string& column) const { return defined(column); }

    // The defined column names in sorted order, each once.
    std::vector<std::string> columnNames() const;
};
