#include "standard/time_t.h"

#include <cstdio>
#include <cstring>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CTimeT.
const char* const kCannotWrite = "Cannot write time value %1 as text.";
const char* const kYearOutOfRange = "Year is out of range.";
const char* const kCannotRead = "Cannot convert text '%1' to a time value.";
const char* const kNotADate = "Text is not a date of the form 'Thu Jan  1 00:00:00 1970'.";

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool isLeap(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(int64_t year, unsigned month)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// A cursor over the text with the small readers the date layout needs.
class CReader {
public:
    CReader(const char* text, size_t length) : _at(text), _end(text + length) {}

    bool atEnd() const { return _at == _end; }
    size_t skipBlanks()
    {
        size_t count = 0;
        while (_at != _end && (*_at == ' ' || *_at == '\t')) { ++_at; ++count; }
        return count;
    }
    // One of the three-letter names; its index or -1.
    int name(const char* const* names, int count)
    {
        if (_end - _at < 3) return -1;
        for (int i = 0; i < count; ++i) {
            if (std::strncmp(_at, names[i], 3) == 0) { _at += 3; return i; }
        }
        return -1;
    }
    // An unsigned decimal of minDigits..maxDigits digits.
    bool number(unsigned minDigits, unsigned maxDigits, int64_t& value)
    {
        unsigned digits = 0;
        value = 0;
        while (_at != _end && *_at >= '0' && *_at <= '9' && digits < maxDigits) {
            value = value * 10 + (*_at++ - '0');
            ++digits;
        }
        return digits >= minDigits && (_at == _end || *_at < '0' || *_at > '9');
    }
    bool character(char expected)
    {
        if (_at == _end || *_at != expected) return false;
        ++_at;
        return true;
    }

private:
    const char* _at;
    const char* _end;
};
} // namespace

std::string CTimeT::string() const
{
    const time_t value = static_cast<time_t>(_seconds);
    struct tm parts;
    if (!::gmtime_r(&value, &parts))
        throw OSK_EXCEPTION(CMessage(kCannotWrite).push(_seconds), CMessage(kYearOutOfRange),
                            "CTimeT::string", kModule);
    char text[64];
    std::snprintf(text, sizeof(text), "%.3s %.3s%3d %.2d:%.2d:%.2d %lld", kWeekdays[parts.tm_wday],
                  kMonths[parts.tm_mon], parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<long long>(parts.tm_year) + 1900);
    return text;
}

bool CTimeT::parse(const std::string& text, CTimeT& result)
{
    CReader reader(text.data(), text.size());
    reader.skipBlanks();
    const int weekday = reader.name(kWeekdays, 7);
    if (weekday < 0 || reader.skipBlanks() == 0) return false;
    const int month = reader.name(kMonths, 12);
    if (month < 0 || reader.skipBlanks() == 0) return false;
    int64_t day = 0, hour = 0, minute = 0, second = 0, year = 0;
    if (!reader.number(1, 2, day) || reader.skipBlanks() == 0) return false;
    if (!reader.number(2, 2, hour) || !reader.character(':') || !reader.number(2, 2, minute) ||
        !reader.character(':') || !reader.number(2, 2, second) || reader.skipBlanks() == 0)
        return false;
    // Years up to nine digits keep every later product inside 64 bits.
    if (!reader.number(1, 9, year)) return false;
    reader.character('\n');
    reader.skipBlanks();
    if (!reader.atEnd()) return false;
    const unsigned monthNumber = static_cast<unsigned>(month) + 1;
    if (day < 1 || day > daysInMonth(year, monthNumber) || hour > 23 || minute > 59 || second > 60)
        return false;
    const int64_t days = daysFromCivil(year, monthNumber, static_cast<unsigned>(day));
    // 1970-01-01 was a Thursday.
    const int64_t computedWeekday = ((days % 7) + 7 + 4) % 7;
    if (computedWeekday != weekday) return false;
    result._seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

void CTimeT::string(const std::string& text)
{
    if (!parse(text, *this))
        throw OSK_EXCEPTION(CMessage(kCannotRead).pushs(text), CMessage(kNotADate), "CTimeT::string",
                            kModule);
}

} // namespace osk
