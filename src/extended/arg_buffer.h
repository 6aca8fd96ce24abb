#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace osk {

// The buffer's failures, thrown as osk::CException. They live out of line so
// that this header does not need the exception (whose messages hold buffers).
namespace arg_buffer_errors {
// "Cannot push string argument." with "Invalid pointer.".
[[noreturn]] void invalidPointer();
// "Cannot push string argument." (text) or "Cannot process argument." (other
// values) with "Not enough buffer space.".
[[noreturn]] void noSpace(bool text);
// "Cannot access argument %1." with the index.
[[noreturn]] void cannotAccess(size_t index);
} // namespace arg_buffer_errors

// A fixed-size store of message arguments pushed in order. Each argument is
// kept as its text in one contiguous data area together with the kind of
// value it came from. At most MaxArgs arguments and DataSize bytes of text
// fit; a single argument longer than ArgLimit bytes is cut to ArgLimit so
// that one huge value cannot take the room of all the others. The buffer
// never allocates, so copying a message costs one memcpy of the used part.
template <size_t MaxArgs, size_t DataSize, size_t ArgLimit>
class CArgBuffer {
    static_assert(MaxArgs > 0 && DataSize > 0 && ArgLimit > 0, "empty argument buffer");
    static_assert(DataSize <= UINT16_MAX, "offsets are 16-bit");

public:
    // The kind of value an argument was pushed as.
    enum arg_type_t : uint8_t { text = 0, signed_number, unsigned_number, real_number, boolean, object };

    static constexpr size_t maxArgs = MaxArgs;
    static constexpr size_t dataSize = DataSize;
    static constexpr size_t argLimit = ArgLimit;

    CArgBuffer() = default;
    CArgBuffer(const CArgBuffer& other) { *this = other; }
    CArgBuffer& operator=(const CArgBuffer& other)
    {
        if (this == &other) return *this;
        _count = other._count;
        _used = other._used;
        std::memcpy(_slots.data(), other._slots.data(), _count * sizeof(slot_t));
        std::memcpy(_data.data(), other._data.data(), _used);
        return *this;
    }

    // Appends a text argument. A null pointer throws "Invalid pointer.", a
    // full buffer "Not enough buffer space.", both under "Cannot push string
    // argument.".
    void pushs(const char* value, size_t length, arg_type_t type = text)
    {
        if (!value && length != 0) arg_buffer_errors::invalidPointer();
        _append(value, length, type, true);
    }
    void pushs(const char* value)
    {
        if (!value) arg_buffer_errors::invalidPointer();
        pushs(value, std::strlen(value));
    }
    void pushs(const std::string& value, arg_type_t type = text) { pushs(value.data(), value.size(), type); }

    // Appends a value already rendered as text; a full buffer throws "Cannot
    // process argument." with "Not enough buffer space.".
    void pushValue(const std::string& rendered, arg_type_t type)
    {
        _append(rendered.data(), rendered.size(), type, false);
    }

    size_t count() const { return _count; }
    size_t used() const { return _used; }
    size_t available() const { return DataSize - _used; }
    bool empty() const { return _count == 0; }
    void clear()
    {
        _count = 0;
        _used = 0;
    }

    // The text of argument index (0-based); a missing one throws "Cannot
    // access argument %1." with the index.
    std::string arg(size_t index) const
    {
        const slot_t& slot = _slot(index);
        return std::string(_data.data() + slot.offset, slot.length);
    }
    // The same text without a copy: pointer and length into the data area.
    const char* data(size_t index, size_t& length) const
    {
        const slot_t& slot = _slot(index);
        length = slot.length;
        return _data.data() + slot.offset;
    }
    arg_type_t type(size_t index) const { return static_cast<arg_type_t>(_slot(index).type); }

private:
    struct slot_t {
        uint16_t offset;
        uint16_t length;
        uint8_t type;
    };

    const slot_t& _slot(size_t index) const
    {
        if (index >= _count) arg_buffer_errors::cannotAccess(index);
        return _slots[index];
    }

    void _append(const char* value, size_t length, arg_type_t type, bool isText)
    {
        if (length > ArgLimit) length = ArgLimit;
        if (_count >= MaxArgs || length > DataSize - _used) arg_buffer_errors::noSpace(isText);
        if (length != 0) std::memcpy(_data.data() + _used, value, length);
        _slots[_count] = slot_t{static_cast<uint16_t>(_used), static_cast<uint16_t>(length), type};
        ++_count;
        _used += length;
    }

    size_t _count = 0;
    size_t _used = 0;
    std::array<slot_t, MaxArgs> _slots;
    std::array<char, DataSize> _data;
};

} // namespace osk
