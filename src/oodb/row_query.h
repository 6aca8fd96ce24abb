#pragma once

#include <cstdint>

// Splits a select into pages of row numbers (rows low..high of the result,
// as a "ROWS low TO high" clause takes them). A page is at least 1000 rows,
// more when the caller asks for more objects at once.
class CRowQuery {
public:
    // maxObjects: the objects the caller wants per select; upperLimit: the
    // last row number the search may reach; lowRow: the first row.
    CRowQuery(uint64_t maxObjects, uint64_t upperLimit, uint64_t lowRow = 1);

    // Sets the high row of the current page: low row + page size - 1, at
    // most the upper limit.
    void computeRange();
    // Advances the low row past n rows that have been searched.
    void addRecordsSearched(uint64_t n);
    // Whether the low row is still below the upper limit; clamps it to the
    // limit otherwise.
    bool nextPage();

    uint64_t pageSize() const { return _pageSize; }
    uint64_t lowRow() const { return _lowRow; }
    uint64_t highRow() const { return _highRow; }
    uint64_t upperLimit() const { return _upperLimit; }

private:
    uint64_t _pageSize;
    uint64_t _upperLimit;
    uint64_t _lowRow;
    uint64_t _highRow = 0;
};
