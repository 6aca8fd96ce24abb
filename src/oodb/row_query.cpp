#include "oodb/row_query.h"

#include <algorithm>
#include <limits>

#include "oodb/db_constants.h"

CRowQuery::CRowQuery(uint64_t maxObjects, uint64_t upperLimit, uint64_t lowRow)
    : _pageSize(std::max<uint64_t>(maxObjects, CDBConstants::rowPagerPageSize)), _upperLimit(upperLimit),
      _lowRow(lowRow)
{
}

void CRowQuery::computeRange()
{
    // Saturate instead of wrapping for a low row near the top of the range.
    const uint64_t room = std::numeric_limits<uint64_t>::max() - _lowRow;
    const uint64_t high = room < _pageSize - 1 ? std::numeric_limits<uint64_t>::max() : _lowRow + _pageSize - 1;
    _highRow = std::min(high, _upperLimit);
}

void CRowQuery::addRecordsSearched(uint64_t n)
{
    const uint64_t room = std::numeric_limits<uint64_t>::max() - _lowRow;
    _lowRow = n > room ? std::numeric_limits<uint64_t>::max() : _lowRow + n;
}

bool CRowQuery::nextPage()
{
    if (_lowRow < _upperLimit) return true;
    _lowRow = _upperLimit;
    return false;
}
