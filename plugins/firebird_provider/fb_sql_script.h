#pragma once

#include <string>
#include <vector>

namespace fbprov {

// Splits the text of an SQL script into statements the way isql does: at
// each terminator (";" until a "SET TERM x" statement changes it, as scripts
// that define procedures and triggers do), never inside a quoted text or
// identifier. Comments are dropped; so are COMMIT statements, because the
// caller commits on its own schedule. Text after the last terminator is a
// statement of its own.
class CFbSqlScript {
public:
    // Throws osk::CException when a quoted text, a quoted identifier or a
    // comment is not closed; `name` (the file) and the line go into it.
    static std::vector<std::string> split(const std::string& text, const std::string& name);
};

} // namespace fbprov
