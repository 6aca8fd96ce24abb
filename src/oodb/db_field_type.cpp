#include "oodb/db_field_type.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

namespace {

struct CTypeEntry {
    CDBFieldType::type_t type;
    const char* text;
    const char* formalName;  // null: no formal name
    const char* sqlType;     // null: no column type of its own
};

// Indexed by type_t.
const CTypeEntry kTypes[CDBFieldType::typeCount] = {
    {CDBFieldType::DB_TYPE_ACCESS_ID, "[__DB_TYPE_ACCESS_ID__]", "access_id", nullptr},
    {CDBFieldType::DB_TYPE_ACCESS_RIGHTS, "[__DB_TYPE_ACCESS_RIGHTS__]", "access_rights", nullptr},
    {CDBFieldType::DB_TYPE_EXPR, "[__DB_TYPE_EXPR__]", "expression", nullptr},
    {CDBFieldType::DB_TYPE_BOOT_PROTO, "[__DB_TYPE_BOOT_PROTO__]", "boot_proto", nullptr},
    {CDBFieldType::DB_TYPE_IP_ADDRESS, "[__DB_TYPE_IP_ADDRESS__]", "ip", nullptr},
    {CDBFieldType::DB_TYPE_DOMAIN_GROUP_ID, "[__DB_TYPE_DOMAIN_GROUP_ID__]", "domain_group_id", nullptr},
    {CDBFieldType::DB_TYPE_DOMAIN_ID, "[__DB_TYPE_DOMAIN_ID__]", "domain_id", nullptr},
    {CDBFieldType::DB_TYPE_HEX_STORE, "[__DB_TYPE_HEX_STORE__]", "hex_store", nullptr},
    {CDBFieldType::DB_TYPE_COBJECT, "[__DB_TYPE_COBJECT__]", "object", nullptr},
    {CDBFieldType::DB_TYPE_USHORT, "[__DB_TYPE_USHORT__]", "unsigned_short", nullptr},
    {CDBFieldType::DB_TYPE_ULONG, "[__DB_TYPE_ULONG__]", "unsigned_long", nullptr},
    {CDBFieldType::DB_TYPE_BOOL, "[__DB_TYPE_BOOL__]", "bool", nullptr},
    {CDBFieldType::DB_TYPE_TIME_STAMP, "[__DB_TYPE_TIME_STAMP__]", "time_stamp", "TIMESTAMP"},
    {CDBFieldType::DB_TYPE_DATE, "[__DB_TYPE_DATE__]", "date", "DATE"},
    {CDBFieldType::DB_TYPE_TIME, "[__DB_TYPE_TIME__]", "time", "TIME"},
    {CDBFieldType::DB_TYPE_SHORT, "[__DB_TYPE_SHORT__]", "short", "SMALLINT"},
    {CDBFieldType::DB_TYPE_INT32, "[__DB_TYPE_INT32__]", "integer", nullptr},
    {CDBFieldType::DB_TYPE_LONG, "[__DB_TYPE_LONG__]", "long", "INTEGER"},
    {CDBFieldType::DB_TYPE_DOUBLE, "[__DB_TYPE_DOUBLE__]", "double", "DOUBLE PRECISION"},
    {CDBFieldType::DB_TYPE_FLOAT, "[__DB_TYPE_FLOAT__]", "float", "FLOAT"},
    {CDBFieldType::DB_TYPE_TEXT_BLOB, "[__DB_TYPE_TEXT_BLOB__]", "text_blob", "BLOB sub_type 1 segment size 1"},
    {CDBFieldType::DB_TYPE_STRING, "[__DB_TYPE_STRING__]", "string", "VARCHAR(80)"},
    {CDBFieldType::DB_TYPE_NUMERIC, "[__DB_TYPE_NUMERIC__]", "numeric", "NUMERIC"},
    {CDBFieldType::DB_TYPE_FIXED_OFFSET, "[__DB_TYPE_FIXED_OFFSET__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_INT64, "[__DB_TYPE_INT64__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_UINT64, "[__DB_TYPE_UINT64__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_UINT32, "[__DB_TYPE_UINT32__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_BINARY_BLOB, "[__DB_TYPE_BINARY_BLOB__]", nullptr, "BLOB sub_type 0 segment size 10"},
    {CDBFieldType::DB_TYPE_VARYING, "[__DB_TYPE_VARYING__]", nullptr, "VARCHAR(80)"},
    {CDBFieldType::DB_TYPE_BINARY, "[__DB_TYPE_BINARY__]", nullptr, "CHAR(256)"},
    {CDBFieldType::DB_TYPE_ANY_NUMERIC, "[__DB_TYPE_ANY_NUMERIC__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_ANY, "[__DB_TYPE_ANY__]", nullptr, nullptr},
    {CDBFieldType::DB_TYPE_UNKNOWN, "[__DB_TYPE_UNKNOWN__]", nullptr, nullptr},
};

const CTypeEntry& entryOf(CDBFieldType::type_t type)
{
    const int index = static_cast<int>(type);
    if (index < 0 || index >= CDBFieldType::typeCount) return kTypes[CDBFieldType::DB_TYPE_UNKNOWN];
    return kTypes[index];
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool CDBFieldType::isReserved(const std::string& text)
{
    const std::string prefix = reservedPrefix;
    const std::string suffix = reservedSuffix;
    return text.size() >= prefix.size() + suffix.size() && text.compare(0, prefix.size(), prefix) == 0 &&
           endsWith(text, suffix);
}

std::string CDBFieldType::text(type_t type)
{
    return entryOf(type).text;
}

CDBFieldType::type_t CDBFieldType::fromText(const std::string& text)
{
    if (!isReserved(text)) return DB_TYPE_UNKNOWN;
    for (const CTypeEntry& candidate : kTypes) {
        if (text == candidate.text) return candidate.type;
    }
    return DB_TYPE_UNKNOWN;
}

std::string CDBFieldType::formalName(type_t type)
{
    const CTypeEntry& found = entryOf(type);
    if (found.formalName == nullptr || static_cast<int>(type) != static_cast<int>(found.type)) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotSerializeFieldType).push(static_cast<int>(type)),
                            osk::CMessage(CDBMessages::noSuchFieldType), "CDBFieldType::formalName",
                            CDBMessages::moduleOodb);
    }
    return found.formalName;
}

CDBFieldType::type_t CDBFieldType::fromFormalName(const std::string& name)
{
    for (const CTypeEntry& candidate : kTypes) {
        if (candidate.formalName != nullptr && name == candidate.formalName) return candidate.type;
    }
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotDeserializeFieldType).pushs(name),
                        osk::CMessage(CDBMessages::noSuchFieldType), "CDBFieldType::fromFormalName",
                        CDBMessages::moduleOodb);
}

std::string CDBFieldType::sqlType(type_t type)
{
    const CTypeEntry& found = entryOf(type);
    if (found.sqlType == nullptr || static_cast<int>(type) != static_cast<int>(found.type)) return "UNKNOWN SQL TYPE";
    return found.sqlType;
}
