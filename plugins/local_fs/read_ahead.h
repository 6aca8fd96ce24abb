#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "standard/file_offset.h"

namespace localfs {

class CReadAheadBudget;

// Bytes of a download read ahead of its blocks: one read fills the buffer
// with whole blocks from the block asked for, and the blocks that follow are
// copied from memory, without a system call each. The buffer is taken from
// a budget when it is first filled (never, when the budget is spent) and
// given back when the read-ahead is destroyed.
class CReadAhead {
public:
    // Reads up to count bytes at offset into buffer; fewer only at the end
    // of the file.
    using reader_type = std::function<size_t(char* buffer, osk::CFileOffset offset, size_t count)>;

    CReadAhead(CReadAheadBudget* budget, size_t capacity) : _budget(budget), _capacity(capacity) {}
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // Copies the block of count bytes at offset into buffer when the bytes
    // read ahead hold it, or hold its start and the end of the file; got is
    // the block's length then. False when they do not.
    bool serve(char* buffer, osk::CFileOffset offset, size_t count, size_t& got) const;
    // Reads as many whole blocks of count bytes from offset as the buffer
    // takes. False, reading nothing, when there is no buffer for it.
    bool fill(osk::CFileOffset offset, size_t count, const reader_type& read);
    // Bytes the buffer holds (taken from the budget).
    size_t reserved() const { return _reserved; }

private:
    CReadAheadBudget* _budget;
    const size_t _capacity;
    size_t _reserved = 0;
    std::vector<char> _buffer;
    osk::CFileOffset _start = 0;
    size_t _length = 0;
    // The last fill read fewer bytes than it asked for: the file ended there.
    bool _atEnd = false;
};

} // namespace localfs
