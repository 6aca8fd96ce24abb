#pragma once

#include <cstdint>

#include "oodb/db_constants.h"

// The key range of a search: the rows whose primary keys lie from low to
// high, both included. The default range holds every key.
class CDBNumericContext {
public:
    CDBNumericContext(int64_t low = CDBConstants::smallestKeyValue, int64_t high = CDBConstants::largestKeyValue)
        : _low(low), _high(high)
    {
    }

    int64_t low() const { return _low; }
    int64_t high() const { return _high; }

private:
    int64_t _low;
    int64_t _high;
};
