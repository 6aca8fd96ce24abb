#pragma once

#include <string>
#include <utility>

#include "oodb/db_field_type.h"

// Access to the value of one column of the current row, as text. A column
// is opened for reading, for writing or both; the other access is refused.
class CDBFieldInterface {
public:
    enum open_mode { openRead = 1, openWrite = 2, openReadWrite = openRead | openWrite };

    CDBFieldInterface(std::string column, CDBFieldType::type_t type, open_mode mode)
        : _column(std::move(column)), _type(type), _mode(mode)
    {
    }

    const std::string& column() const { return _column; }
    CDBFieldType::type_t type() const { return _type; }
    open_mode mode() const { return _mode; }
    bool isNull() const { return _null; }

    // The value. Throws "Unable to read column value." (why "Column has not
    // been opened for read.") on a column not opened for reading.
    const std::string& value() const;
    // Sets the value. Throws "Unable to write column value." (why "Column is
    // read-only.") on a column not opened for writing.
    void value(const std::string& text);
    // Clears the value to null, under the same rule as value(text).
    void setNull();
    // Loads the value read from the database, whatever the mode.
    void load(const std::string& text, bool null);

private:
    void _checkWritable(const char* context) const;

    std::string _column;
    CDBFieldType::type_t _type;
    open_mode _mode;
    std::string _value;
    bool _null = true;
};
