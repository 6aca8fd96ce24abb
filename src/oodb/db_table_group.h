#pragma once

#include <string>
#include <vector>

// One record of the table-group file: a group of tables that share the
// statements of the group.
struct CDBTableGroup {
    std::string group;
    std::vector<std::string> tables;
    std::string description;
    // The first line of the record that defined the group.
    size_t line = 0;
};
