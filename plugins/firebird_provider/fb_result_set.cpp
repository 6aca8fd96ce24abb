#include "firebird_provider/fb_result_set.h"

#include <ibase.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "firebird_provider/fb_blob.h"
#include "firebird_provider/fb_error.h"
#include "firebird_provider/fb_master.h"
#include "firebird_provider/fb_status.h"
#include "firebird_provider/fb_transaction.h"

namespace fbprov {

namespace {

template <typename Number>
Number load(const unsigned char* data)
{
    Number value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

bool isInteger(unsigned type) { return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64; }

int64_t loadInteger(unsigned type, const unsigned char* data)
{
    switch (type) {
    case SQL_SHORT:
        return load<int16_t>(data);
    case SQL_LONG:
        return load<int32_t>(data);
    default:
        return load<int64_t>(data);
    }
}

} // namespace

CFbResultSet::CFbResultSet(Firebird::IResultSet* rows, CFbRef<Firebird::IMessageMetadata> metadata,
                           CFbTransaction& transaction)
    : _rows(rows), _metadata(std::move(metadata)), _transaction(transaction)
{
    const char* context = "CFbResultSet::CFbResultSet";
    const osk::CMessage failed("Cannot read the columns of a result set.");
    CFbStatus status;
    unsigned count = _metadata->getCount(status.get());
    status.check(failed, context);
    for (unsigned i = 0; i < count; ++i) {
        column_t column{_metadata->getAlias(status.get(), i), _metadata->getType(status.get(), i) & ~1u,
                        _metadata->getScale(status.get(), i), _metadata->getLength(status.get(), i),
                        _metadata->getOffset(status.get(), i), _metadata->getNullOffset(status.get(), i)};
        status.check(failed, context);
        _columns.push_back(std::move(column));
    }
    _buffer.assign(_metadata->getMessageLength(status.get()), 0);
    status.check(failed, context);
}

CFbResultSet::~CFbResultSet()
{
    if (!closeQuietly())
        _rows->release();
}

bool CFbResultSet::closeQuietly() noexcept
{
    if (!_rows)
        return true;
    // Not watched: the rows may outlive the transaction that would watch.
    CFbStatus status;
    _rows->close(status.get());
    if (status.failed())
        return false;
    _rows = nullptr;
    _onRow = false;
    return true;
}

bool CFbResultSet::fetch()
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = _transaction.watch();
    int result = _rows->fetchNext(status.get(), _buffer.data());
    status.check(osk::CMessage("Cannot fetch the next row of a result set."), "CFbResultSet::fetch");
    _onRow = result == Firebird::IStatus::RESULT_OK;
    return _onRow;
}

void CFbResultSet::close()
{
    CFbStatus status;
    _rows->close(status.get());
    status.check(osk::CMessage("Cannot close a result set."), "CFbResultSet::close");
    _rows = nullptr;
    _onRow = false;
}

unsigned CFbResultSet::columnIndex(const std::string& name) const
{
    for (unsigned i = 0; i < _columns.size(); ++i)
        if (_columns[i].name == name)
            return i;
    throw CFbError::make(osk::CMessage("Cannot find column '%1' in a result set.").pushs(name),
                         osk::CMessage("No such column."), "CFbResultSet::columnIndex");
}

const std::string& CFbResultSet::columnName(unsigned column) const { return _column(column).name; }

const CFbResultSet::column_t& CFbResultSet::_column(unsigned column) const
{
    if (column >= _columns.size())
        throw CFbError::make(osk::CMessage("Cannot read column %1 of a result set.").push(column),
                             osk::CMessage("The result set has %1 columns.").push(_columns.size()),
                             "CFbResultSet::_column");
    return _columns[column];
}

bool CFbResultSet::isNull(unsigned column) const
{
    const column_t& c = _column(column);
    if (!_onRow)
        throw CFbError::make(osk::CMessage("Cannot read column '%1' of a result set.").pushs(c.name),
                             osk::CMessage("The result set is not on a row."), "CFbResultSet::isNull");
    return load<int16_t>(&_buffer[c.nullOffset]) != 0;
}

const CFbResultSet::column_t& CFbResultSet::_value(unsigned column, const char* context) const
{
    if (isNull(column))
        throw CFbError::make(osk::CMessage("Cannot read column '%1' of a result set.").pushs(_columns[column].name),
                             osk::CMessage("The value is null."), context);
    return _columns[column];
}

void CFbResultSet::_cannotConvert(const column_t& column, const char* target, const char* context) const
{
    throw CFbError::make(osk::CMessage("Cannot read column '%1' of a result set.").pushs(column.name),
                         osk::CMessage("Its value cannot be read as %1.").pushs(target), context);
}

int64_t CFbResultSet::asInt64(unsigned column) const
{
    const char* context = "CFbResultSet::asInt64";
    const column_t& c = _value(column, context);
    if (c.type == SQL_BOOLEAN)
        return *_data(c) != 0;
    if (!isInteger(c.type) || c.scale != 0)
        _cannotConvert(c, "an integer", context);
    return loadInteger(c.type, _data(c));
}

double CFbResultSet::asDouble(unsigned column) const
{
    const char* context = "CFbResultSet::asDouble";
    const column_t& c = _value(column, context);
    if (c.type == SQL_DOUBLE)
        return load<double>(_data(c));
    if (c.type == SQL_FLOAT)
        return load<float>(_data(c));
    if (!isInteger(c.type))
        _cannotConvert(c, "a number", context);
    return static_cast<double>(loadInteger(c.type, _data(c))) * std::pow(10.0, c.scale);
}

std::string CFbResultSet::asString(unsigned column) const
{
    const char* context = "CFbResultSet::asString";
    const column_t& c = _value(column, context);
    switch (c.type) {
    case SQL_TEXT:
        return std::string(reinterpret_cast<const char*>(_data(c)), c.length);
    case SQL_VARYING:
        return std::string(reinterpret_cast<const char*>(_data(c)) + 2, load<uint16_t>(_data(c)));
    case SQL_BLOB:
        return CFbBlob::load(_transaction, load<ISC_QUAD>(_data(c)));
    default:
        if (isInteger(c.type) && c.scale == 0)
            return std::to_string(loadInteger(c.type, _data(c)));
        _cannotConvert(c, "a text", context);
    }
}

CFbBytes CFbResultSet::asBytes(unsigned column) const
{
    const column_t& c = _value(column, "CFbResultSet::asBytes");
    if (c.type != SQL_TEXT && c.type != SQL_VARYING && c.type != SQL_BLOB)
        _cannotConvert(c, "bytes", "CFbResultSet::asBytes");
    std::string bytes = asString(column);
    return CFbBytes(bytes.begin(), bytes.end());
}

osk::CTimeT CFbResultSet::asTime(unsigned column) const
{
    const char* context = "CFbResultSet::asTime";
    const column_t& c = _value(column, context);
    if (c.type != SQL_TIMESTAMP && c.type != SQL_TYPE_DATE)
        _cannotConvert(c, "a point in time", context);
    Firebird::IUtil* util = CFbMaster::util();
    unsigned year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0, fractions = 0;
    if (c.type == SQL_TIMESTAMP) {
        ISC_TIMESTAMP stamp = load<ISC_TIMESTAMP>(_data(c));
        util->decodeDate(stamp.timestamp_date, &year, &month, &day);
        util->decodeTime(stamp.timestamp_time, &hours, &minutes, &seconds, &fractions);
    } else {
        util->decodeDate(load<ISC_DATE>(_data(c)), &year, &month, &day);
    }
    struct tm parts {};
    parts.tm_year = static_cast<int>(year) - 1900;
    parts.tm_mon = static_cast<int>(month) - 1;
    parts.tm_mday = static_cast<int>(day);
    parts.tm_hour = static_cast<int>(hours);
    parts.tm_min = static_cast<int>(minutes);
    parts.tm_sec = static_cast<int>(seconds);
    return osk::CTimeT(static_cast<int64_t>(::timegm(&parts)));
}

} // namespace fbprov
