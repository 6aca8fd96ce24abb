#pragma once

#include <string>
#include <vector>

#include "prst_generic/prst_format.h"
#include "standard/string_map.h"

// The WHERE template of a stored SQL query and its arguments, filled from a
// console request. The template marks each argument's place with "?" (a "?"
// inside a quoted text, a quoted name or a comment is part of the SQL); the
// n-th "?" takes the n-th argument. Each value is checked and formatted by
// its formal type (CPrstFormat): numbers, booleans, dates and rights are
// written bare, everything else as a quoted literal whose own quotes are
// doubled, so no value can end its literal or add SQL of its own.
//
// The request gives the values either all in order, as the comma-separated
// text of its key "args" (blanks around each value are dropped), or each
// under the argument's own name, which also lets a value hold commas.
//
// The filled condition is set in parentheses and ends outside any comment,
// so a condition joined after it with AND binds to all of it.
class CPrstQueryTemplate {
public:
    // One argument of a stored query: its name and formal type.
    struct CArgument {
        std::string name;
        std::string type;
    };

    static constexpr const char* argsKey = "args";

    // format must outlive the template. Throws "Invalid query template '%1'."
    // when a quoted text or a comment is not closed or the placeholders and
    // the arguments differ in number, and "Illegal type '%1'." for a type
    // without a formatter.
    CPrstQueryTemplate(const CPrstFormat& format, const std::string& whereTemplate,
                       std::vector<CArgument> arguments);

    // The condition for request: empty for a blank template. Throws "Cannot
    // fill query template." for a missing argument, too many values or a
    // value with a NUL character, and the formatters' errors for a value
    // that does not fit its type.
    std::string fill(const osk::CStringMap& request) const;

    size_t placeholderCount() const { return _pieces.size() - 1; }

private:
    // Cuts the template at its placeholders into _pieces and notes whether
    // it ends inside a line comment.
    void _parse(const std::string& whereTemplate);
    // The value of every argument, in order.
    std::vector<std::string> _values(const osk::CStringMap& request) const;
    // The SQL text of one argument's value.
    std::string _sqlText(const CArgument& argument, const std::string& value) const;

    const CPrstFormat& _format;
    std::vector<CArgument> _arguments;
    // The template's text between placeholders: one more than there are
    // placeholders.
    std::vector<std::string> _pieces;
    bool _endsInLineComment = false;
};
