#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "oodb/db_primary_key_generator.h"
#include "oodb/db_type_string_map.h"

class CDBTransaction;

// The shared state of one table: its name, its column definitions (always
// with the primary key column PK of the long type) and its primary-key
// generator, which the provider made.
class CDBAccessorI {
public:
    CDBAccessorI(std::string tableName, CDBTypeStringMap columnDefs, std::unique_ptr<CDBPrimaryKeyGenerator> generator);

    const std::string& tableName() const { return _tableName; }
    const CDBTypeStringMap& columnDefs() const { return _columnDefs; }
    CDBPrimaryKeyGenerator& primaryKeyGenerator() { return *_generator; }

    // The next key from the generator; remembered as the largest seen.
    int64_t getNextPrimaryKeyValue(CDBTransaction& transaction);
    // Moves the generator so that the next key follows value.
    void setPrimaryKeyGenerator(CDBTransaction& transaction, int64_t value);
    // The largest key this accessor handed out; initialKeyValue before any.
    int64_t largestKeyValue() const;

private:
    std::string _tableName;
    CDBTypeStringMap _columnDefs;
    std::unique_ptr<CDBPrimaryKeyGenerator> _generator;
    mutable std::mutex _lock;
    int64_t _largestKey;
};
