#pragma once

#include <atomic>
#include <cstddef>

namespace localfs {

// The bytes that the read-ahead buffers of all open downloads may hold
// together, so that a crowd of large downloads costs bounded memory: a
// download that finds the budget spent reads block by block. Safe to use
// from several threads.
class CReadAheadBudget {
public:
    explicit CReadAheadBudget(size_t limit) : _limit(limit) {}
    CReadAheadBudget(const CReadAheadBudget&) = delete;
    CReadAheadBudget& operator=(const CReadAheadBudget&) = delete;

    // Takes bytes from the budget; false (nothing taken) when they do not fit.
    bool take(size_t bytes);
    // Gives back bytes taken before.
    void give(size_t bytes) { _used.fetch_sub(bytes); }
    size_t used() const { return _used.load(); }
    size_t limit() const { return _limit; }

private:
    const size_t _limit;
    std::atomic<size_t> _used{0};
};

} // namespace localfs
