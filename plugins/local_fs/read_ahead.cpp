#include "local_fs/read_ahead.h"

#include <algorithm>

#include "local_fs/read_ahead_budget.h"

namespace localfs {

CReadAhead::~CReadAhead()
{
    if (_reserved) _budget->give(_reserved);
}

bool CReadAhead::serve(char* buffer, osk::CFileOffset offset, size_t count, size_t& got) const
{
    if (_buffer.empty() || offset < _start) return false;
    const osk::CFileOffset end = _start + _length;
    if (offset + count <= end) {
        got = count;
    } else if (_atEnd && offset <= end) {
        got = static_cast<size_t>(end - offset);
    } else {
        return false;
    }
    const auto from = _buffer.begin() + static_cast<std::ptrdiff_t>(offset - _start);
    std::copy(from, from + static_cast<std::ptrdiff_t>(got), buffer);
    return true;
}

bool CReadAhead::fill(osk::CFileOffset offset, size_t count, const reader_type& read)
{
    if (count == 0) return false;
    const size_t wanted = std::max(count, _capacity / count * count);
    if (_reserved < wanted) {
        if (!_budget || !_budget->take(wanted - _reserved)) return false;
        _reserved = wanted;
        _buffer.resize(wanted);
    }
    // Emptied first: a read that throws leaves nothing stale behind.
    _length = 0;
    _atEnd = false;
    _start = offset;
    _length = read(_buffer.data(), offset, wanted);
    _atEnd = _length < wanted;
    return true;
}

} // namespace localfs
