#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The layer's own error codes and the map from a database product's return
// codes to them. A provider fills one map with the codes of its product, so
// that callers above can tell a duplicate key from a lock conflict without
// knowing which database reported it.
class CDBErrorCodeMap {
public:
    enum error_code_t {
        // Another transaction holds the record or changed it since this one
        // started, or two transactions wait for each other: the transaction
        // may succeed when it is tried again.
        LOCK_CONFLICT,
        DUPLICATE_KEY,
        FOREIGN_KEY_VIOLATION,
        NOT_FOUND,
        CONNECTION_LOST,
        // Any failure the map does not name.
        OTHER,
    };

    // The name of code ("DUPLICATE_KEY"); "OTHER" for a value outside the
    // enumeration.
    static std::string codeName(error_code_t code);

    // Maps the database's returnCode to code (a later call replaces it).
    void add(int64_t returnCode, error_code_t code);
    bool knows(int64_t returnCode) const { return _codes.count(returnCode) != 0; }
    // The layer's code of returnCode. Throws "Cannot translate database
    // return code '%1'." (why "Unknown code.") for a code never added.
    error_code_t translate(int64_t returnCode) const;
    // The code of the first of returnCodes that the map knows (a database
    // reports a general code before the specific one); OTHER when none is
    // known.
    error_code_t firstKnown(const std::vector<int64_t>& returnCodes) const;

private:
    std::map<int64_t, error_code_t> _codes;
};
