#pragma once

#include <cstdint>

class CDBTransaction;

// Hands out the primary keys of one table. Keys are not transactional: a key
// taken in a transaction that rolls back is not handed out again.
class CDBPrimaryKeyGenerator {
public:
    virtual ~CDBPrimaryKeyGenerator() = default;

    // Creates the generator with the table; takes effect when the
    // transaction commits.
    virtual void create(CDBTransaction& transaction) = 0;
    virtual bool exists(CDBTransaction& transaction) = 0;
    // The next key.
    virtual int64_t next(CDBTransaction& transaction) = 0;
    // Sets the generator so that next() returns value + 1.
    virtual void restart(CDBTransaction& transaction, int64_t value) = 0;
};
