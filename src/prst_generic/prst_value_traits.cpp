#include "prst_generic/prst_value_traits.h"

#include <cstdlib>

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

using M = CPrstGenericMessages;

namespace {
osk::CException invalid(const std::string& text, const char* context)
{
    return OSK_EXCEPTION(osk::CMessage(M::invalidValue, M::module).pushs(text), osk::CMessage(), context, M::module);
}
} // namespace

// Text.
CDBValue CPrstValueTraits<std::string>::toDb(const std::string& value)
{
    return value;
}
std::string CPrstValueTraits<std::string>::fromDb(const CDBRows& rows, const std::string& column)
{
    return rows.asString(column);
}
std::string CPrstValueTraits<std::string>::toText(const std::string& value)
{
    return value;
}
std::string CPrstValueTraits<std::string>::fromText(const std::string& text)
{
    return text;
}

// Booleans: the engine takes the words TRUE and FALSE for a boolean column.
CDBValue CPrstValueTraits<bool>::toDb(const bool& value)
{
    return std::string(value ? "TRUE" : "FALSE");
}
bool CPrstValueTraits<bool>::fromDb(const CDBRows& rows, const std::string& column)
{
    return rows.asInt64(column) != 0;
}
std::string CPrstValueTraits<bool>::toText(const bool& value)
{
    return value ? "true" : "false";
}
bool CPrstValueTraits<bool>::fromText(const std::string& text)
{
    bool value = false;
    if (!osk::CStringUtil::toBoolean(text, value)) throw invalid(text, "CPrstValueTraits<bool>::fromText");
    return value;
}

// Integers.
CDBValue CPrstValueTraits<int32_t>::toDb(const int32_t& value)
{
    return static_cast<int64_t>(value);
}
int32_t CPrstValueTraits<int32_t>::fromDb(const CDBRows& rows, const std::string& column)
{
    return static_cast<int32_t>(rows.asInt64(column));
}
std::string CPrstValueTraits<int32_t>::toText(const int32_t& value)
{
    return std::to_string(value);
}
int32_t CPrstValueTraits<int32_t>::fromText(const std::string& text)
{
    return osk::CNumberConversion(osk::CStringUtil::trim(text)).toInt32();
}

CDBValue CPrstValueTraits<uint32_t>::toDb(const uint32_t& value)
{
    return static_cast<int64_t>(value);
}
uint32_t CPrstValueTraits<uint32_t>::fromDb(const CDBRows& rows, const std::string& column)
{
    return static_cast<uint32_t>(rows.asInt64(column));
}
std::string CPrstValueTraits<uint32_t>::toText(const uint32_t& value)
{
    return std::to_string(value);
}
uint32_t CPrstValueTraits<uint32_t>::fromText(const std::string& text)
{
    return osk::CNumberConversion(osk::CStringUtil::trim(text)).toUInt32();
}

CDBValue CPrstValueTraits<int64_t>::toDb(const int64_t& value)
{
    return value;
}
int64_t CPrstValueTraits<int64_t>::fromDb(const CDBRows& rows, const std::string& column)
{
    return rows.asInt64(column);
}
std::string CPrstValueTraits<int64_t>::toText(const int64_t& value)
{
    return std::to_string(value);
}
int64_t CPrstValueTraits<int64_t>::fromText(const std::string& text)
{
    return osk::CNumberConversion(osk::CStringUtil::trim(text)).toInt64();
}

// Unsigned 64-bit values are kept in a signed 64-bit column bit for bit.
CDBValue CPrstValueTraits<uint64_t>::toDb(const uint64_t& value)
{
    return static_cast<int64_t>(value);
}
uint64_t CPrstValueTraits<uint64_t>::fromDb(const CDBRows& rows, const std::string& column)
{
    return static_cast<uint64_t>(rows.asInt64(column));
}
std::string CPrstValueTraits<uint64_t>::toText(const uint64_t& value)
{
    return std::to_string(value);
}
uint64_t CPrstValueTraits<uint64_t>::fromText(const std::string& text)
{
    return osk::CNumberConversion(osk::CStringUtil::trim(text)).toUInt64();
}

CDBValue CPrstValueTraits<float>::toDb(const float& value)
{
    return static_cast<double>(value);
}
float CPrstValueTraits<float>::fromDb(const CDBRows& rows, const std::string& column)
{
    return static_cast<float>(rows.asDouble(column));
}
std::string CPrstValueTraits<float>::toText(const float& value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}
float CPrstValueTraits<float>::fromText(const std::string& text)
{
    return osk::CNumberConversion(osk::CStringUtil::trim(text)).toFloat();
}

// Points in time: seconds since the epoch in the column, the time text in
// text attributes.
CDBValue CPrstValueTraits<osk::CTimeT>::toDb(const osk::CTimeT& value)
{
    return value;
}
osk::CTimeT CPrstValueTraits<osk::CTimeT>::fromDb(const CDBRows& rows, const std::string& column)
{
    return rows.asTime(column);
}
std::string CPrstValueTraits<osk::CTimeT>::toText(const osk::CTimeT& value)
{
    return value.string();
}
osk::CTimeT CPrstValueTraits<osk::CTimeT>::fromText(const std::string& text)
{
    osk::CTimeT value;
    if (!osk::CTimeT::parse(osk::CStringUtil::trim(text), value))
        throw invalid(text, "CPrstValueTraits<CTimeT>::fromText");
    return value;
}

// Addresses are stored in their text form.
CDBValue CPrstValueTraits<osk::CIPAddress>::toDb(const osk::CIPAddress& value)
{
    return value.string();
}
osk::CIPAddress CPrstValueTraits<osk::CIPAddress>::fromDb(const CDBRows& rows, const std::string& column)
{
    return osk::CIPAddress(rows.asString(column));
}
std::string CPrstValueTraits<osk::CIPAddress>::toText(const osk::CIPAddress& value)
{
    return value.string();
}
osk::CIPAddress CPrstValueTraits<osk::CIPAddress>::fromText(const std::string& text)
{
    return osk::CIPAddress(osk::CStringUtil::trim(text));
}

// Identifiers and rights are numbers in their columns.
CDBValue CPrstValueTraits<osk::CAccessID>::toDb(const osk::CAccessID& value)
{
    return value.id();
}
osk::CAccessID CPrstValueTraits<osk::CAccessID>::fromDb(const CDBRows& rows, const std::string& column)
{
    return osk::CAccessID(rows.asInt64(column));
}
std::string CPrstValueTraits<osk::CAccessID>::toText(const osk::CAccessID& value)
{
    return value.string();
}
osk::CAccessID CPrstValueTraits<osk::CAccessID>::fromText(const std::string& text)
{
    osk::CAccessID value;
    value.string(osk::CStringUtil::trim(text));
    return value;
}

CDBValue CPrstValueTraits<osk::CAccessRights>::toDb(const osk::CAccessRights& value)
{
    return static_cast<int64_t>(value.rights());
}
osk::CAccessRights CPrstValueTraits<osk::CAccessRights>::fromDb(const CDBRows& rows, const std::string& column)
{
    return osk::CAccessRights(static_cast<osk::CAccessRights::right_t>(rows.asInt64(column)));
}
std::string CPrstValueTraits<osk::CAccessRights>::toText(const osk::CAccessRights& value)
{
    return value.string();
}
osk::CAccessRights CPrstValueTraits<osk::CAccessRights>::fromText(const std::string& text)
{
    osk::CAccessRights value;
    value.string(text);
    return value;
}

CDBValue CPrstValueTraits<osk::CDomainID>::toDb(const osk::CDomainID& value)
{
    return value.id();
}
osk::CDomainID CPrstValueTraits<osk::CDomainID>::fromDb(const CDBRows& rows, const std::string& column)
{
    return osk::CDomainID(rows.asInt64(column));
}
std::string CPrstValueTraits<osk::CDomainID>::toText(const osk::CDomainID& value)
{
    return value.idstr();
}
osk::CDomainID CPrstValueTraits<osk::CDomainID>::fromText(const std::string& text)
{
    osk::CDomainID value;
    value.idstr(osk::CStringUtil::trim(text));
    return value;
}
