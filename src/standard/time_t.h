#pragma once

#include <cstdint>
#include <ctime>

namespace osk {

// A point in time as a count of seconds since the epoch (UTC).
class CTimeT {
public:
    CTimeT() = default;
    explicit CTimeT(int64_t seconds) : _seconds(seconds) {}

    // The current time.
    static CTimeT now() { return CTimeT(static_cast<int64_t>(::time(nullptr))); }

    int64_t seconds() const { return _seconds; }
    void seconds(int64_t value) { _seconds = value; }

    bool operator==(const CTimeT& other) const { return _seconds == other._seconds; }
    bool operator!=(const CTimeT& other) const { return _seconds != other._seconds; }
    bool operator<(const CTimeT& other) const { return _seconds < other._seconds; }

private:
    int64_t _seconds = 0;
};

} // namespace osk
