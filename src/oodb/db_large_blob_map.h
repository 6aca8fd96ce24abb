#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "oodb/db_type_string_map.h"

// The binary large objects of one record, by column. Only the columns that
// the record's definitions declare as binary blobs hold one.
class CDBLargeBlobMap {
public:
    using bytes_t = std::vector<uint8_t>;

    explicit CDBLargeBlobMap(CDBTypeStringMap columnDefs) : _columnDefs(std::move(columnDefs)) {}

    // Stores the bytes of column, replacing earlier ones.
    void set(const std::string& column, bytes_t bytes);
    // The bytes of column (empty until set). Both throw "Unable to find blob
    // at column '%1'." (why "Field is not defined as a binary blob.") for a
    // column that is not a binary blob.
    const bytes_t& get(const std::string& column) const;
    bool isBlobColumn(const std::string& column) const;
    void clear() { _blobs.clear(); }

private:
    void _check(const std::string& column, const char* context) const;

    CDBTypeStringMap _columnDefs;
    std::map<std::string, bytes_t> _blobs;
};
