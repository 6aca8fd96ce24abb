#pragma once

#include <cstdint>
#include <string>

#include "standard/time_t.h"

// The rows a select opened, read one at a time. Columns are named as the
// database reports them (upper case for unquoted names). The rows must be
// closed or destroyed before the transaction that opened them ends.
class CDBRows {
public:
    virtual ~CDBRows() = default;

    // Moves to the next row; false after the last.
    virtual bool fetch() = 0;
    virtual void close() = 0;

    virtual bool isNull(const std::string& column) const = 0;
    virtual int64_t asInt64(const std::string& column) const = 0;
    virtual double asDouble(const std::string& column) const = 0;
    virtual std::string asString(const std::string& column) const = 0;
    // A time stamp or date column as seconds since the epoch (UTC).
    virtual osk::CTimeT asTime(const std::string& column) const = 0;
    // The name of the first column, for selects of one value.
    virtual std::string firstColumn() const = 0;
};
