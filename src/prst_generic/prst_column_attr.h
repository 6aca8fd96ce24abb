#pragma once

#include <string>

#include "oodb/db_field_type.h"
#include "oodb/db_rows.h"
#include "oodb/db_value.h"

class CPrstUserBase;

// One column of a persistent object's row, registered with its owner on
// construction. An attribute with a text name is also a text attribute of
// the owner's text form.
class CPrstColumnAttr {
public:
    CPrstColumnAttr(CPrstUserBase& owner, std::string column, CDBFieldType::type_t type, std::string textName);
    virtual ~CPrstColumnAttr() = default;
    CPrstColumnAttr(const CPrstColumnAttr&) = delete;
    CPrstColumnAttr& operator=(const CPrstColumnAttr&) = delete;

    const std::string& column() const { return _column; }
    CDBFieldType::type_t type() const { return _type; }
    const std::string& textName() const { return _textName; }

    // The value a statement binds for the column.
    virtual CDBValue dbValue() const = 0;
    // Reads the value from the current row; a null column gives the default.
    virtual void read(const CDBRows& rows) = 0;
    virtual std::string text() const = 0;
    // Throws when text is not a value of the attribute's type.
    virtual void text(const std::string& value) = 0;

private:
    std::string _column;
    CDBFieldType::type_t _type;
    std::string _textName;
};
