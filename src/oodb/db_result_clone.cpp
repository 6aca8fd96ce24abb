#include "oodb/db_result_clone.h"

#include "oodb/db_constants.h"

const CDBValue& CDBResultClone::value(const std::string& column) const
{
    static const CDBValue null;
    auto found = _values.find(column);
    return found == _values.end() ? null : found->second;
}

int64_t CDBResultClone::key() const
{
    const int64_t* key = std::get_if<int64_t>(&value(CDBConstants::primaryKeyColumn));
    return key ? *key : CDBConstants::initialKeyValue;
}
