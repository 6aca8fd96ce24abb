#include "prst_generic/prst_fk_attr.h"

#include "prst_generic/prst_value_traits.h"

CPrstFKAttr::CPrstFKAttr(CPrstUserBase& owner, const char* column, const char* textName)
    : CPrstColumnAttr(owner, column, CDBFieldType::DB_TYPE_LONG, textName)
{
}

CDBValue CPrstFKAttr::dbValue() const
{
    if (!isSet()) return std::monostate();
    return _oid;
}

void CPrstFKAttr::read(const CDBRows& rows)
{
    _oid = rows.isNull(column()) ? noTarget : rows.asInt64(column());
}

std::string CPrstFKAttr::text() const
{
    return isSet() ? std::to_string(_oid) : std::string();
}

void CPrstFKAttr::text(const std::string& value)
{
    _oid = value.empty() ? noTarget : CPrstValueTraits<int64_t>::fromText(value);
}
