#pragma once

#include <map>
#include <string>
#include <vector>

#include "oodb/db_field_type.h"

// The value formatters of stored SQL queries: for each formal column type a
// function that checks the text of an argument and turns it into the text
// that is written into the query's SQL. Numbers are checked and passed on as
// they were given, booleans become 1 or 0, dates become seconds since the
// epoch, addresses their fixed-width form, rights their decimal bit mask;
// texts are kept. Every single quote of a result is doubled, so a result
// written between single quotes stays one SQL literal.
//
// Built once and then only read: one object serves every thread.
class CPrstFormat {
public:
    CPrstFormat();

    // The text of value formatted as the formal type type. Every type but
    // the whole-value ones (any, string, object, hex_store, access_rights,
    // expression) takes a list: the value is cut at ",", each item is
    // formatted and the results are joined with ",".
    // Throws "Unable to format value '%1' of type '%2'." for a type without
    // a formatter, "Unable to translate value '%1' to required type '%2'."
    // for a boolean that is neither true nor false, and the parsers' own
    // errors (numbers, dates, addresses, byte strings) unchanged.
    std::string execute(const std::string& value, const std::string& type) const;
    // The formatted items of value: one for a whole-value type, one per list
    // item otherwise. execute() joins them with ",". Throws as execute().
    std::vector<std::string> executeItems(const std::string& value, const std::string& type) const;

    // Throws "Illegal type '%1'." when type has no formatter.
    void validateType(const std::string& type) const;
    // True when the formatted items of type are texts that SQL must receive
    // inside single quotes; false when they are numbers written bare.
    // Throws as validateType().
    bool isQuoted(const std::string& type) const;
    // The types that have a formatter, sorted, joined by ", ".
    std::string availableTypes() const;

private:
    // Turns one item into its SQL text; throws when the item does not fit.
    using formatter_t = std::string (*)(const std::string& item);
    struct CFormatter {
        formatter_t format;
        bool wholeValue;  // never cut into a list
        bool quoted;      // a text literal rather than a number
    };

    void _add(CDBFieldType::type_t type, formatter_t format, bool wholeValue, bool quoted);
    const CFormatter* _find(const std::string& type) const;

    // By formal type name.
    std::map<std::string, CFormatter> _formatters;
};
