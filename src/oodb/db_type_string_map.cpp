#include "oodb/db_type_string_map.h"

void CDBTypeStringMap::setType(const std::string& column, CDBFieldType::type_t type)
{
    set_string(column, CDBFieldType::text(type));
}

CDBFieldType::type_t CDBTypeStringMap::type(const std::string& column) const
{
    const auto found = find(column);
    if (found == end()) return CDBFieldType::DB_TYPE_UNKNOWN;
    return CDBFieldType::fromText(found->second);
}

std::vector<std::string> CDBTypeStringMap::columnNames() const
{
    std::vector<std::string> names;
    for (const auto& column : *this) {
        if (names.empty() || names.back() != column.first) names.push_back(column.first);
    }
    return names;
}
