#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "standard/object.h"

namespace osk {

// A point in time as a count of seconds since the epoch (UTC).
//
// Text form: the asctime layout of the UTC time without its trailing newline,
// "Thu Jan  1 00:00:00 1970" (weekday, month, day padded to width 2, time of
// day, year).
class CTimeT : public CObject {
public:
    CTimeT() = default;
    explicit CTimeT(int64_t seconds) : _seconds(seconds) {}
    // Parses the text form; throws osk::CException when it is not a date.
    explicit CTimeT(const std::string& text) { string(text); }

    // The current time.
    static CTimeT now() { return CTimeT(static_cast<int64_t>(::time(nullptr))); }

    int64_t seconds() const { return _seconds; }
    void seconds(int64_t value) { _seconds = value; }

    std::string typeName() const override { return "osk::CTimeT"; }
    // The text form; throws osk::CException when the year does not fit the
    // system's broken-down time.
    std::string string() const override;
    // Parses the text form (surrounding blanks and a trailing newline are
    // allowed); throws osk::CException when the text is not a date or the
    // weekday does not match the date. The value is unchanged on failure.
    void string(const std::string& text) override;
    // Parses without throwing; false (and `result` untouched) when the text
    // is not a date.
    static bool parse(const std::string& text, CTimeT& result);

    bool operator==(const CTimeT& other) const { return _seconds == other._seconds; }
    bool operator!=(const CTimeT& other) const { return _seconds != other._seconds; }
    bool operator<(const CTimeT& other) const { return _seconds < other._seconds; }

private:
    int64_t _seconds = 0;
};

} // namespace osk
