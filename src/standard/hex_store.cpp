#include "standard/hex_store.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";
const char* const kNybbleWhat = "Cannot convert character to nybble.";
const char* const kNybbleWhy = "Invalid hexadecimal character '%1'.";

const char kHexDigits[] = "0123456789ABCDEF";
// Text built on the stack when it fits; larger texts take one heap block.
constexpr size_t kStackText = 256;
} // namespace

const char* const CHexStore::defaultSeparator = "-";

CHexStore::CHexStore(size_t capacity, const std::string& separator)
    : _data(_inline), _separator(separator)
{
    std::memset(_inline, 0, sizeof(_inline));
    if (capacity > inlineCapacity) _allocate(capacity);
}

CHexStore::CHexStore(const void* bytes, size_t length, const std::string& separator,
                     size_t capacity)
    : CHexStore(std::max(capacity, length), separator)
{
    append(bytes, length);
}

CHexStore::CHexStore(const std::string& text, const std::string& separator, size_t capacity)
    : CHexStore(capacity, separator)
{
    _parse(text.data(), text.size());
}

CHexStore::CHexStore(const char* text, const std::string& separator, size_t capacity)
    : CHexStore(capacity, separator)
{
    if (text) _parse(text, std::strlen(text));
}

CHexStore::CHexStore(const CHexStore& other)
    : CHexStore(other._size, other._separator)
{
    append(other._data, other._size);
}

CHexStore::CHexStore(CHexStore&& other) noexcept
    : CBuffer(other), _data(_inline), _separator(std::move(other._separator))
{
    std::memset(_inline, 0, sizeof(_inline));
    if (other._data != other._inline) {
        // Take over the heap block; the source falls back to its inline area.
        _data = other._data;
        _capacity = other._capacity;
        other._data = other._inline;
        other._capacity = inlineCapacity;
    } else {
        std::memcpy(_inline, other._inline, other._size);
    }
    _size = other._size;
    other._size = 0;
    std::memset(other._inline, 0, sizeof(other._inline));
}

CHexStore::~CHexStore()
{
    _release();
}

CHexStore& CHexStore::operator=(const CHexStore& other)
{
    if (this != &other) {
        set(other._data, other._size);
        _separator = other._separator;
    }
    return *this;
}

CHexStore& CHexStore::operator=(CHexStore&& other) noexcept
{
    if (this != &other) {
        if (other._data != other._inline) {
            _release();
            _data = other._data;
            _capacity = other._capacity;
            _size = other._size;
            other._data = other._inline;
            other._capacity = inlineCapacity;
        } else {
            // Our own storage is at least 64 bytes, so the inline bytes fit.
            std::memset(_data, 0, _capacity);
            std::memcpy(_data, other._inline, other._size);
            _size = other._size;
        }
        _separator = std::move(other._separator);
        other._size = 0;
        std::memset(other._inline, 0, sizeof(other._inline));
    }
    return *this;
}

CHexStore& CHexStore::operator=(const char* text)
{
    string(text ? std::string(text) : std::string());
    return *this;
}

void CHexStore::push_back(uint8_t byte)
{
    _reserve(_size + 1);
    _data[_size++] = byte;
}

void CHexStore::pop_back()
{
    if (_size > 0) _data[--_size] = 0;
}

CHexStore::iterator CHexStore::insert(iterator position, uint8_t byte)
{
    const size_t index = static_cast<size_t>(position - _data);
    _reserve(_size + 1);
    std::memmove(_data + index + 1, _data + index, _size - index);
    _data[index] = byte;
    ++_size;
    return _data + index;
}

void CHexStore::append(const void* bytes, size_t length)
{
    if (length == 0) return;
    // The source may lie inside this store; keep its offset across growth.
    const uint8_t* source = static_cast<const uint8_t*>(bytes);
    if (source >= _data && source < _data + _capacity) {
        const size_t offset = static_cast<size_t>(source - _data);
        _reserve(_size + length);
        std::memmove(_data + _size, _data + offset, length);
    } else {
        _reserve(_size + length);
        std::memcpy(_data + _size, source, length);
    }
    _size += length;
}

void CHexStore::set(const void* bytes, size_t length)
{
    if (bytes == _data) {
        resize(length);
        return;
    }
    clear();
    append(bytes, length);
}

void CHexStore::pad(uint8_t byte, size_t count)
{
    _reserve(_size + count);
    std::memset(_data + _size, byte, count);
    _size += count;
}

void CHexStore::resize(size_t size, uint8_t fill)
{
    if (size > _size) {
        pad(fill, size - _size);
    } else {
        std::memset(_data + size, 0, _size - size);
        _size = size;
    }
}

void CHexStore::clear()
{
    std::memset(_data, 0, _capacity);
    _size = 0;
}

void CHexStore::reset()
{
    clear();
    _release();
    _data = _inline;
    _capacity = inlineCapacity;
}

CHexStore& CHexStore::operator+=(const CHexStore& other)
{
    append(other._data, other._size);
    return *this;
}

CHexStore CHexStore::operator+(const CHexStore& other) const
{
    CHexStore result(_size + other._size, _separator);
    result.append(_data, _size);
    result.append(other._data, other._size);
    return result;
}

bool CHexStore::operator==(const CHexStore& other) const
{
    return _size == other._size && std::memcmp(_data, other._data, _size) == 0;
}

bool CHexStore::operator<(const CHexStore& other) const
{
    const size_t common = std::min(_size, other._size);
    const int order = common ? std::memcmp(_data, other._data, common) : 0;
    if (order != 0) return order < 0;
    return _size < other._size;
}

std::string CHexStore::string() const
{
    if (_size == 0) return std::string();
    const size_t length = _size * 2 + (_size - 1) * _separator.size();
    char stackArea[kStackText];
    std::unique_ptr<char[]> heapArea;
    char* text = stackArea;
    if (_size * (_separator.size() + 2) > kStackText) {
        heapArea.reset(new char[length]);
        text = heapArea.get();
    }
    char* out = text;
    for (size_t i = 0; i < _size; ++i) {
        if (i > 0 && !_separator.empty()) {
            std::memcpy(out, _separator.data(), _separator.size());
            out += _separator.size();
        }
        *out++ = kHexDigits[_data[i] >> 4];
        *out++ = kHexDigits[_data[i] & 0x0F];
    }
    return std::string(text, length);
}

void CHexStore::string(const std::string& text)
{
    clear();
    _parse(text.data(), text.size());
}

void CHexStore::_parse(const char* text, size_t length)
{
    size_t position = 0;
    while (position < length) {
        const uint8_t high = _char2Nybble(text[position]);
        // A lone digit at the end is read against the end of the text.
        const uint8_t low = _char2Nybble(position + 1 < length ? text[position + 1] : '\0');
        push_back(static_cast<uint8_t>((high << 4) | low));
        position += 2;
        if (position >= length) break;
        position += _separator.size();
    }
}

uint8_t CHexStore::_char2Nybble(char character)
{
    if (character >= '0' && character <= '9') return static_cast<uint8_t>(character - '0');
    if (character >= 'A' && character <= 'F') return static_cast<uint8_t>(character - 'A' + 10);
    if (character >= 'a' && character <= 'f') return static_cast<uint8_t>(character - 'a' + 10);
    throw OSK_EXCEPTION(CMessage(kNybbleWhat),
                        CMessage(kNybbleWhy).pushs(character ? std::string(1, character)
                                                             : std::string()),
                        "CHexStore::_char2Nybble", kModule);
}

void CHexStore::_reserve(size_t needed)
{
    if (needed <= _capacity) return;
    size_t capacity = _capacity;
    while (capacity < needed) capacity *= 2;
    uint8_t* grown = new uint8_t[capacity];
    std::memcpy(grown, _data, _size);
    std::memset(grown + _size, 0, capacity - _size);
    _release();
    _data = grown;
    _capacity = capacity;
}

void CHexStore::_allocate(size_t capacity)
{
    _data = new uint8_t[capacity];
    std::memset(_data, 0, capacity);
    _capacity = capacity;
}

void CHexStore::_release()
{
    if (_data != _inline) delete[] _data;
    _data = _inline;
}

} // namespace osk
