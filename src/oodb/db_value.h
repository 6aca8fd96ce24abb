#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "standard/time_t.h"

// One value a statement binds as a parameter: null, an integer, a
// floating-point number, a text, bytes or a point in time. Values never go
// into the SQL text, so a text like "1; DROP TABLE x" is stored as it is.
using CDBValue = std::variant<std::monostate, int64_t, double, std::string, std::vector<uint8_t>, osk::CTimeT>;
using CDBValues = std::vector<CDBValue>;
// The values of one row by column name.
using CDBRow = std::map<std::string, CDBValue>;
