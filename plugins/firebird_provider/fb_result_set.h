#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <firebird/Interface.h>

#include "firebird_provider/fb_ref.h"
#include "firebird_provider/fb_value.h"

namespace fbprov {

class CFbTransaction;

// Owns one open cursor and the buffer of its current row. Columns are read
// by position (from 0) or by name (the alias, as Firebird reports it: upper
// case unless quoted), converted to the type asked for; a conversion that
// would lose information throws osk::CException. CHAR columns keep their
// trailing blanks.
class CFbResultSet {
public:
    CFbResultSet(Firebird::IResultSet* rows, CFbRef<Firebird::IMessageMetadata> metadata,
                 CFbTransaction& transaction);
    ~CFbResultSet();
    CFbResultSet(const CFbResultSet&) = delete;
    CFbResultSet& operator=(const CFbResultSet&) = delete;

    // Moves to the next row; false after the last.
    bool fetch();
    // Closes the cursor before the end of the rows.
    void close();
    // Closes the cursor if it is open and says whether it is closed now;
    // never throws.
    bool closeQuietly() noexcept;

    unsigned columnCount() const { return static_cast<unsigned>(_columns.size()); }
    // Throws when no column has that name.
    unsigned columnIndex(const std::string& name) const;
    const std::string& columnName(unsigned column) const;

    bool isNull(unsigned column) const;
    int64_t asInt64(unsigned column) const;
    double asDouble(unsigned column) const;
    // Texts, blobs and numbers as text.
    std::string asString(unsigned column) const;
    CFbBytes asBytes(unsigned column) const;
    osk::CTimeT asTime(unsigned column) const;

    bool isNull(const std::string& name) const { return isNull(columnIndex(name)); }
    int64_t asInt64(const std::string& name) const { return asInt64(columnIndex(name)); }
    double asDouble(const std::string& name) const { return asDouble(columnIndex(name)); }
    std::string asString(const std::string& name) const { return asString(columnIndex(name)); }
    CFbBytes asBytes(const std::string& name) const { return asBytes(columnIndex(name)); }
    osk::CTimeT asTime(const std::string& name) const { return asTime(columnIndex(name)); }

private:
    struct column_t {
        std::string name;
        unsigned type;
        int scale;
        unsigned length;
        unsigned offset;
        unsigned nullOffset;
    };

    const column_t& _column(unsigned column) const;
    // The column of the current row, which must not be null.
    const column_t& _value(unsigned column, const char* context) const;
    const unsigned char* _data(const column_t& column) const { return &_buffer[column.offset]; }
    [[noreturn]] void _cannotConvert(const column_t& column, const char* target, const char* context) const;

    Firebird::IResultSet* _rows;
    CFbRef<Firebird::IMessageMetadata> _metadata;
    CFbTransaction& _transaction;
    std::vector<column_t> _columns;
    std::vector<unsigned char> _buffer;
    bool _onRow = false;
};

} // namespace fbprov
