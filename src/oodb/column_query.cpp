#include "oodb/column_query.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "oodb/db_constants.h"

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

// Key arithmetic that saturates instead of overflowing.
int64_t plus(int64_t value, int64_t delta)
{
    if (delta > 0 && value > kMax - delta) return kMax;
    if (delta < 0 && value < kMin - delta) return kMin;
    return value + delta;
}

int64_t clampedCount(uint64_t n)
{
    return n > static_cast<uint64_t>(kMax) ? kMax : static_cast<int64_t>(n);
}

} // namespace

CColumnQuery::CColumnQuery(bool ascending, int64_t start, int64_t lowerBound, int64_t upperBound, uint64_t maxObjects,
                           std::string criteria)
    : _ascending(ascending), _start(start), _lowerBound(lowerBound), _upperBound(upperBound), _maxObjects(maxObjects),
      _criteria(std::move(criteria)), _window(CDBConstants::keyPagerInitialWindow)
{
}

std::string CColumnQuery::condition() const
{
    char window[96];
    if (_ascending) {
        std::snprintf(window, sizeof(window), " (T.pk >= %li) AND (T.pk < %li)", static_cast<long>(_start),
                      static_cast<long>(plus(_start, _window)));
    } else {
        std::snprintf(window, sizeof(window), " (T.pk <= %li) AND (T.pk > %li)", static_cast<long>(_start),
                      static_cast<long>(plus(_start, -_window)));
    }
    if (_criteria.empty()) return window;
    return "(" + _criteria + ") AND " + window;
}

void CColumnQuery::pageDone(int64_t lastKey)
{
    const int64_t objects = clampedCount(_maxObjects);
    if (_ascending) {
        _start = std::max(plus(_start, objects), plus(lastKey, 1));
    } else {
        _start = std::min(plus(lastKey, -1), plus(_start, -objects));
    }
}

bool CColumnQuery::nextPage()
{
    if (_ascending) {
        _start = plus(_start, _window);
        return _start <= _upperBound;
    }
    _start = plus(_start, -_window);
    return _start >= _lowerBound;
}

void CColumnQuery::increasePageSize()
{
    _window = std::min(_window * 2, CDBConstants::keyPagerMaxWindow);
}
