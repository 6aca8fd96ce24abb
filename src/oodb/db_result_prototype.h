#pragma once

#include <string>

#include "oodb/db_result_clone.h"
#include "oodb/db_rows.h"
#include "oodb/db_type_string_map.h"

// The record type of one table: its name and column definitions. It makes
// the clone of the row a select stands on, reading each column as its type
// says: integers (keys, counts, flags) as integers, floating-point columns
// as doubles, everything else as text.
class CDBResultPrototype {
public:
    CDBResultPrototype(std::string name, CDBTypeStringMap columnDefs);

    const std::string& name() const { return _name; }
    const CDBTypeStringMap& columnDefs() const { return _columnDefs; }

    // The clone of the current row of rows (after a successful fetch).
    CDBResultClone clone(const CDBRows& rows) const;

private:
    std::string _name;
    CDBTypeStringMap _columnDefs;
};
