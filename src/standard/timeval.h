#pragma once

#include <cstdint>
#include <string>

namespace osk {

// A point in time with microsecond precision on the system's monotonic
// clock, or a span of time between two such points. Used where intervals
// are measured (time-outs, durations): the monotonic clock does not jump
// when the wall clock is set. Wall-clock times for display are CTimeT.
class CTimeval {
public:
    static constexpr int64_t kUsecPerSec = 1000000;

    // Zero: the clock's origin, or an empty span.
    CTimeval() = default;
    static CTimeval fromUsec(int64_t usec) { return CTimeval(usec); }
    static CTimeval fromSec(int64_t sec) { return CTimeval(sec * kUsecPerSec); }
    // The current reading of the monotonic clock.
    static CTimeval now();

    int64_t usec() const { return _usec; }
    void usec(int64_t value) { _usec = value; }
    // Whole seconds (rounded towards zero) and the microseconds left over.
    int64_t sec() const { return _usec / kUsecPerSec; }
    int64_t usecPart() const { return _usec % kUsecPerSec; }
    bool isZero() const { return _usec == 0; }

    CTimeval operator+(const CTimeval& other) const { return CTimeval(_usec + other._usec); }
    CTimeval operator-(const CTimeval& other) const { return CTimeval(_usec - other._usec); }
    CTimeval& operator+=(const CTimeval& other)
    {
        _usec += other._usec;
        return *this;
    }
    CTimeval& operator-=(const CTimeval& other)
    {
        _usec -= other._usec;
        return *this;
    }

    bool operator==(const CTimeval& other) const { return _usec == other._usec; }
    bool operator!=(const CTimeval& other) const { return _usec != other._usec; }
    bool operator<(const CTimeval& other) const { return _usec < other._usec; }
    bool operator>(const CTimeval& other) const { return _usec > other._usec; }
    bool operator<=(const CTimeval& other) const { return _usec <= other._usec; }
    bool operator>=(const CTimeval& other) const { return _usec >= other._usec; }

    // Seconds with six decimals: "12.000345", "-0.500000".
    std::string string() const;

private:
    explicit CTimeval(int64_t usec) : _usec(usec) {}

    int64_t _usec = 0;
};

} // namespace osk
