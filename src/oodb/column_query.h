#pragma once

#include <cstdint>
#include <string>

// Splits a select into windows of primary-key values, walking the keys up
// (ascending) or down. Each window is a condition on T.pk that is added to
// the select's own criteria; a window that yields few rows can be widened.
class CColumnQuery {
public:
    // start: the first key of the walk; lowerBound and upperBound: the key
    // range the walk may cover; maxObjects: the objects wanted per select;
    // criteria: the select's own condition (may be empty).
    CColumnQuery(bool ascending, int64_t start, int64_t lowerBound, int64_t upperBound, uint64_t maxObjects,
                 std::string criteria = std::string());

    // The condition of the current window, after the select's criteria.
    std::string condition() const;
    // Moves the start after a page whose last key was lastKey, so that the
    // next page neither repeats a row nor stays put.
    void pageDone(int64_t lastKey);
    // Moves the start by one window; false when the walk has passed its
    // bound.
    bool nextPage();
    // Counts objects found; the search goes on while fewer than the maximum
    // have been found.
    void addObjectsFound(uint64_t n) { _found += n; }
    bool continueSearch() const { return _found < _maxObjects; }
    // Starts counting the objects of a new page from zero.
    void startPage() { _found = 0; }
    // The objects the current page still lacks.
    uint64_t objectsWanted() const { return _found < _maxObjects ? _maxObjects - _found : 0; }
    // Doubles the window, up to the largest window.
    void increasePageSize();

    int64_t start() const { return _start; }
    int64_t window() const { return _window; }
    bool ascending() const { return _ascending; }

private:
    bool _ascending;
    int64_t _start;
    int64_t _lowerBound;
    int64_t _upperBound;
    uint64_t _maxObjects;
    std::string _criteria;
    int64_t _window;
    uint64_t _found = 0;
};
