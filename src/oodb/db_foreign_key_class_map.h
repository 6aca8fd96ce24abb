#pragma once

#include <map>
#include <string>
#include <vector>

#include "standard/string_map.h"

// Which columns of which classes (tables) are foreign keys, and where they
// point: built from the rows of the two catalogue statements of
// CDBConstants (columns SRC_FIELD, SRC_TABLE, DEST_FIELD, DEST_TABLE).
// Class and column names are compared without regard to case, as the
// catalogue spells them in upper case.
class CDBForeignKeyClassMap {
public:
    struct CTarget {
        std::string table;
        std::string field;
    };
    using targets_t = std::map<std::string, CTarget, osk::CStringMap::CKeyLess>;

    // Records that srcTable.srcField points to destTable.destField (names
    // trimmed of the catalogue's padding). A later entry for the same
    // column replaces the earlier. False, and nothing recorded, when a name
    // is empty.
    bool add(const std::string& srcTable, const std::string& srcField, const std::string& destTable,
             const std::string& destField);
    // add() from one catalogue row.
    bool addCatalogueRow(const osk::CStringMap& row);

    // Where srcTable.srcField points; null when it is not a foreign key.
    const CTarget* target(const std::string& srcTable, const std::string& srcField) const;
    // The foreign key columns of a class, by column name; empty when none.
    const targets_t& foreignKeysOf(const std::string& srcTable) const;
    // The classes (as first recorded) that have a foreign key to destTable.
    std::vector<std::string> classesReferencing(const std::string& destTable) const;

    bool empty() const { return _classes.empty(); }

private:
    std::map<std::string, targets_t, osk::CStringMap::CKeyLess> _classes{osk::CStringMap::CKeyLess{true}};
};
