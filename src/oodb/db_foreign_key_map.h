#pragma once

#include <map>
#include <string>

#include "oodb/db_foreign_key_value.h"

// The foreign keys of one record, by attribute name.
class CDBForeignKeyMap {
public:
    // Sets the foreign key of value's attribute, replacing an earlier one.
    void set(const CDBForeignKeyValue& value) { _values[value.attribute()] = value; }
    // The foreign key of attribute. Throws "Unable to find foreign key value
    // for attribute '%1'." when there is none.
    const CDBForeignKeyValue& find(const std::string& attribute) const;
    CDBForeignKeyValue& find(const std::string& attribute);
    bool exists(const std::string& attribute) const { return _values.count(attribute) != 0; }
    // Removes the foreign key of attribute. Throws "Failed to remove foreign
    // key value attribute '%1'." when there is none.
    void remove(const std::string& attribute);

    size_t size() const { return _values.size(); }
    const std::map<std::string, CDBForeignKeyValue>& values() const { return _values; }

private:
    std::map<std::string, CDBForeignKeyValue> _values;
};
