#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "oodb/db_numeric_context.h"
#include "oodb/db_result_clone.h"
#include "oodb/db_result_prototype.h"
#include "oodb/db_transaction.h"
#include "standard/string_map.h"

class CDBController;

// The record types a session works with (one prototype per table) and the
// rows of each held in memory as clones. A search reads the rows of the
// prototype's key range (its context) in batches: each batch replaces the
// clones held before, and the next one continues after the last key read.
// A name may be an alias of a prototype's name.
class CDBPrototypeMgr {
public:
    explicit CDBPrototypeMgr(CDBController& controller);

    bool tableExist(const std::string& name) const;
    // Creates the table name from columnDefs in the database (visible once
    // transaction commits) and inserts its prototype.
    CDBResultPrototype& createAndInsert(const std::string& name, const CDBTypeStringMap& columnDefs,
                                        CDBTransaction& transaction);
    // Inserts the prototype of the existing table name.
    CDBResultPrototype& openAndInsert(const std::string& name, const CDBTypeStringMap& columnDefs);
    // Inserts (or replaces) the prototype of name, with no clones.
    CDBResultPrototype& insert(const std::string& name, CDBResultPrototype prototype);
    // Drops the prototype of name and its clones.
    void remove(const std::string& name);
    // Every lookup by name throws "Failed to find object prototype '%1'."
    // (why "No such prototype.") for a name that is neither a prototype nor
    // an alias of one.
    CDBResultPrototype& prototype(const std::string& name);

    // The next batch of a user's select: at most maxClonesPerSelect rows.
    // Returns the number of clones now held.
    size_t cloneSimple(const std::string& name, CDBTransaction& transaction);
    // The next batch read for the layer itself (records an object refers
    // to): at most maxClonesNotSelecting rows.
    size_t cloneNested(const std::string& name, CDBTransaction& transaction);

    // Writes values over the columns of the clone whose key is values' PK.
    // Throws "Unable to find record with key %1." when no clone has that key
    // and "Failed to write table record." for a column the prototype does
    // not define or a PK that is not an integer.
    void update(const std::string& name, const CDBRow& values);

    const CDBTypeStringMap& columnDefs(const std::string& name) const;
    const std::vector<CDBResultClone>& clones(const std::string& name) const;
    // Whether rows of the context may remain unread: true until a batch
    // reaches the end of the range.
    bool dataLeft(const std::string& name) const;
    bool anyDataLeft() const;
    // Starts a new search over context: the clones go, reading restarts at
    // its low key.
    void setContext(const std::string& name, const CDBNumericContext& context);

    // Alias name to the prototype's name.
    osk::CStringMap& aliases() { return _aliases; }

private:
    struct entry_t {
        CDBResultPrototype prototype;
        CDBNumericContext context;
        int64_t nextKey;
        bool dataLeft;
        std::vector<CDBResultClone> clones;
    };

    entry_t& _entry(const std::string& name);
    const entry_t& _entry(const std::string& name) const;
    size_t _clone(const std::string& name, CDBTransaction& transaction, size_t cap);

    CDBController& _controller;
    std::map<std::string, entry_t> _entries;
    osk::CStringMap _aliases;
};
