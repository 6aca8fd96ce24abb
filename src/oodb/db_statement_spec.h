#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "oodb/db_field_type.h"

// One named SQL statement of the statement file: the table group it belongs
// to, its arguments (names and types in matching order), the SQL text and
// how it is offered.
struct CDBStatementSpec {
    std::string name;
    std::string group;
    std::vector<std::string> argNames;
    std::vector<CDBFieldType::type_t> argTypes;
    std::string statement;
    bool precompile = false;
    std::string functionName;
    uint32_t cursorNum = 0;
    std::string genericArgs;
    std::string description;
    // The first line of the record that defined the statement.
    size_t line = 0;
};
