#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "oodb/db_value.h"

// One row held in memory: its values by column name.
class CDBResultClone {
public:
    explicit CDBResultClone(CDBRow values) : _values(std::move(values)) {}

    const CDBRow& values() const { return _values; }
    // The value of column; null when the row has none.
    const CDBValue& value(const std::string& column) const;
    void value(const std::string& column, CDBValue value) { _values[column] = std::move(value); }
    // The primary key; initialKeyValue when the row has no integer PK.
    int64_t key() const;

private:
    CDBRow _values;
};
