#include "oodb/db_accessor_i.h"

#include <algorithm>
#include <utility>

#include "oodb/db_constants.h"

CDBAccessorI::CDBAccessorI(std::string tableName, CDBTypeStringMap columnDefs,
                           std::unique_ptr<CDBPrimaryKeyGenerator> generator)
    : _tableName(std::move(tableName)),
      _columnDefs(std::move(columnDefs)),
      _generator(std::move(generator)),
      _largestKey(CDBConstants::initialKeyValue)
{
    _columnDefs.setType(CDBConstants::primaryKeyColumn, CDBFieldType::DB_TYPE_LONG);
}

int64_t CDBAccessorI::getNextPrimaryKeyValue(CDBTransaction& transaction)
{
    const int64_t key = _generator->next(transaction);
    std::lock_guard<std::mutex> guard(_lock);
    _largestKey = std::max(_largestKey, key);
    return key;
}

void CDBAccessorI::setPrimaryKeyGenerator(CDBTransaction& transaction, int64_t value)
{
    _generator->restart(transaction, value);
}

int64_t CDBAccessorI::largestKeyValue() const
{
    std::lock_guard<std::mutex> guard(_lock);
    return _largestKey;
}
