#pragma once

#include <map>
#include <string>
#include <vector>

#include "extended/file_reader.h"
#include "oodb/db_table_group.h"
#include "standard/string_map.h"

// Reads the table-group file: records of "group", "tables" (comma-separated
// table names) and an optional "description". The first bad record stops
// the reading with an osk::CException naming its line. A later record of a
// group replaces the earlier one.
class CDBTableGroupFileReader : public osk::CFileReader {
public:
    CDBTableGroupFileReader() = default;
    ~CDBTableGroupFileReader() override = default;

    // Reads directory/file, replacing what an earlier read found. False when
    // the file cannot be opened.
    bool read(const std::string& directory, const std::string& file);

    // The group of that name. Throws "Cannot locate table group '%1'." (why
    // "Group does not exist.") when there is none.
    const CDBTableGroup& find(const std::string& group) const;
    bool exists(const std::string& group) const { return _groups.count(group) != 0; }
    const std::map<std::string, CDBTableGroup>& groups() const { return _groups; }
    // The names of the groups that list table, in name order.
    std::vector<std::string> groupsOfTable(const std::string& table) const;

    // Checks one record and turns it into a group. Throws "Invalid record at
    // line %1 in table group file." with the cause as why.
    static CDBTableGroup parse(const osk::CStringMap& record, size_t line);

protected:
    void _processRecord(const std::string& record, size_t lineNumber) override;

private:
    std::map<std::string, CDBTableGroup> _groups;
};
