#pragma once

#include <map>
#include <string>

// What the database layer and the console know of one persistent class: its
// C++ class name, its formal name (the name rights are granted on; empty for
// auxiliary records), its table, whether it is secured, and the SQL column
// that a text attribute sorts and filters by.
class CPrstClassSpec {
public:
    CPrstClassSpec(std::string className, std::string formalName, std::string table, bool secured);

    const std::string& className() const { return _className; }
    const std::string& formalName() const { return _formalName; }
    const std::string& table() const { return _table; }
    bool secured() const { return _secured; }

    // The SQL column of a text attribute of the main table (aliased T):
    // "T." and the attribute's name unless the class names another.
    std::string attrToColumn(const std::string& attribute) const;
    void attrColumn(const std::string& attribute, const std::string& column) { _attrColumns[attribute] = column; }

private:
    std::string _className;
    std::string _formalName;
    std::string _table;
    bool _secured;
    std::map<std::string, std::string> _attrColumns;
};
