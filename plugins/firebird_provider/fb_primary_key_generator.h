#pragma once

#include <string>

#include "firebird_provider/fb_sequence.h"
#include "oodb/db_primary_key_generator.h"

namespace fbprov {

// The primary keys of a table from a Firebird sequence of the table's name
// (the name the key statements of the layer use for the generator).
class CFbPrimaryKeyGenerator : public CDBPrimaryKeyGenerator {
public:
    explicit CFbPrimaryKeyGenerator(const std::string& tableName) : _sequence(tableName) {}

    void create(CDBTransaction& transaction) override;
    bool exists(CDBTransaction& transaction) override;
    int64_t next(CDBTransaction& transaction) override;
    void restart(CDBTransaction& transaction, int64_t value) override;

private:
    CFbSequence _sequence;
};

} // namespace fbprov
