#pragma once

#include <cstdint>
#include <string>

#include "oodb/db_field_type.h"
#include "oodb/db_rows.h"
#include "oodb/db_value.h"
#include "security/access_id.h"
#include "security/access_rights.h"
#include "security/domain_id.h"
#include "standard/ip_address.h"
#include "standard/time_t.h"

// How a value type of a persistent attribute goes to and from a column and
// a text attribute: toDb gives the value a statement binds, fromDb reads it
// from a row (never null there), toText and fromText are the text form (the
// latter throws on text that is not a value of the type).
template <class T>
struct CPrstValueTraits;

#define ZELVO_PRST_VALUE_TRAITS(T, fieldTypeValue)                                                                     \
    template <>                                                                                                        \
    struct CPrstValueTraits<T> {                                                                                       \
        static constexpr CDBFieldType::type_t fieldType = fieldTypeValue;                                              \
        static CDBValue toDb(const T& value);                                                                          \
        static T fromDb(const CDBRows& rows, const std::string& column);                                               \
        static std::string toText(const T& value);                                                                     \
        static T fromText(const std::string& text);                                                                    \
    }

ZELVO_PRST_VALUE_TRAITS(std::string, CDBFieldType::DB_TYPE_STRING);
ZELVO_PRST_VALUE_TRAITS(bool, CDBFieldType::DB_TYPE_BOOL);
ZELVO_PRST_VALUE_TRAITS(int32_t, CDBFieldType::DB_TYPE_INT32);
ZELVO_PRST_VALUE_TRAITS(uint32_t, CDBFieldType::DB_TYPE_UINT32);
ZELVO_PRST_VALUE_TRAITS(int64_t, CDBFieldType::DB_TYPE_LONG);
ZELVO_PRST_VALUE_TRAITS(uint64_t, CDBFieldType::DB_TYPE_ULONG);
ZELVO_PRST_VALUE_TRAITS(float, CDBFieldType::DB_TYPE_FLOAT);
ZELVO_PRST_VALUE_TRAITS(osk::CTimeT, CDBFieldType::DB_TYPE_TIME_STAMP);
ZELVO_PRST_VALUE_TRAITS(osk::CIPAddress, CDBFieldType::DB_TYPE_IP_ADDRESS);
ZELVO_PRST_VALUE_TRAITS(osk::CAccessID, CDBFieldType::DB_TYPE_ACCESS_ID);
ZELVO_PRST_VALUE_TRAITS(osk::CAccessRights, CDBFieldType::DB_TYPE_ACCESS_RIGHTS);
ZELVO_PRST_VALUE_TRAITS(osk::CDomainID, CDBFieldType::DB_TYPE_DOMAIN_ID);

#undef ZELVO_PRST_VALUE_TRAITS
