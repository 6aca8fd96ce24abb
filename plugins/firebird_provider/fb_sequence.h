#pragma once

#include <cstdint>
#include <string>

namespace fbprov {

class CFbTransaction;

// A named sequence (generator) that hands out primary keys. Values are not
// transactional: a value taken in a transaction that rolls back is gone.
class CFbSequence {
public:
    // Throws osk::CException when `name` is not a plain SQL identifier
    // (sequence names go into the SQL text, so nothing else is accepted).
    explicit CFbSequence(std::string name);

    const std::string& name() const { return _name; }
    // CREATE SEQUENCE; like all DDL it takes effect when the transaction
    // commits.
    void create(CFbTransaction& transaction) const;
    bool exists(CFbTransaction& transaction) const;
    // Increments the sequence and returns the new value.
    int64_t next(CFbTransaction& transaction) const;
    // Sets the sequence so that next() returns value + 1.
    void restart(CFbTransaction& transaction, int64_t value) const;

private:
    std::string _name;
};

} // namespace fbprov
