#pragma once

#include <string>

// The internal type of a database column. Column definitions write a type as
// a reserved text "[__DB_TYPE_...__]"; text interfaces (statement files,
// consoles) use its formal name ("long", "string"). A text that begins with
// the reserved prefix "[__" and ends with the reserved suffix "__]" is a type
// marker and never a value.
class CDBFieldType {
public:
    enum type_t {
        DB_TYPE_ACCESS_ID,
        DB_TYPE_ACCESS_RIGHTS,
        DB_TYPE_EXPR,
        DB_TYPE_BOOT_PROTO,
        DB_TYPE_IP_ADDRESS,
        DB_TYPE_DOMAIN_GROUP_ID,
        DB_TYPE_DOMAIN_ID,
        DB_TYPE_HEX_STORE,
        DB_TYPE_COBJECT,
        DB_TYPE_USHORT,
        DB_TYPE_ULONG,
        DB_TYPE_BOOL,
        DB_TYPE_TIME_STAMP,
        DB_TYPE_DATE,
        DB_TYPE_TIME,
        DB_TYPE_SHORT,
        DB_TYPE_INT32,
        DB_TYPE_LONG,
        DB_TYPE_DOUBLE,
        DB_TYPE_FLOAT,
        DB_TYPE_TEXT_BLOB,
        DB_TYPE_STRING,
        DB_TYPE_NUMERIC,
        // Internal types without a formal name.
        DB_TYPE_FIXED_OFFSET,
        DB_TYPE_INT64,
        DB_TYPE_UINT64,
        DB_TYPE_UINT32,
        DB_TYPE_BINARY_BLOB,
        DB_TYPE_VARYING,
        DB_TYPE_BINARY,
        DB_TYPE_ANY_NUMERIC,
        DB_TYPE_ANY,
        DB_TYPE_UNKNOWN,
    };
    static constexpr int typeCount = DB_TYPE_UNKNOWN + 1;

    static constexpr const char* reservedPrefix = "[__";
    static constexpr const char* reservedSuffix = "__]";

    // True when text is a reserved marker: it begins with the reserved
    // prefix and ends with the reserved suffix (the two may not overlap).
    static bool isReserved(const std::string& text);

    // The reserved text of type ("[__DB_TYPE_LONG__]"); a value outside the
    // enumeration gives the text of DB_TYPE_UNKNOWN.
    static std::string text(type_t type);
    // The type whose reserved text is text exactly; DB_TYPE_UNKNOWN for any
    // other text.
    static type_t fromText(const std::string& text);

    // The formal name of type. Throws osk::CException "Cannot serialize field
    // type '%1'." for a type without a formal name.
    static std::string formalName(type_t type);
    // The type of a formal name (exact spelling). Throws osk::CException
    // "Cannot deserialize field type '%1'." (why "No such field type.").
    static type_t fromFormalName(const std::string& name);

    // The SQL column type used when a table is created ("UNKNOWN SQL TYPE"
    // for a type that has no column of its own).
    static std::string sqlType(type_t type);
};
