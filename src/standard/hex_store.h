#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "standard/buffer.h"

namespace osk {

// The framework's byte buffer. Binary values (keys, digests, raw addresses,
// cipher text) live here and are written as text as upper-case hexadecimal
// pairs joined by a separator ("0A-FF").
//
// The first 64 bytes are stored inside the object, so small values need no
// heap allocation; beyond that the capacity doubles until an append fits.
class CHexStore : public CBuffer {
public:
    using value_type = uint8_t;
    using iterator = uint8_t*;
    using const_iterator = const uint8_t*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    static constexpr size_t inlineCapacity = 64;
    static const char* const defaultSeparator;

    explicit CHexStore(size_t capacity = inlineCapacity,
                       const std::string& separator = defaultSeparator);
    CHexStore(const void* bytes, size_t length, const std::string& separator = defaultSeparator,
              size_t capacity = inlineCapacity);
    // Parses a hexadecimal text; throws osk::CException on a non-hex digit.
    CHexStore(const std::string& text, const std::string& separator = defaultSeparator,
              size_t capacity = inlineCapacity);
    CHexStore(const char* text, const std::string& separator = defaultSeparator,
              size_t capacity = inlineCapacity);
    CHexStore(const CHexStore& other);
    CHexStore(CHexStore&& other) noexcept;
    ~CHexStore() override;

    CHexStore& operator=(const CHexStore& other);
    CHexStore& operator=(CHexStore&& other) noexcept;
    // Clears the store and parses the hexadecimal text.
    CHexStore& operator=(const char* text);

    // Byte access.
    size_t size() const override { return _size; }
    size_t capacity() const { return _capacity; }
    bool empty() const { return _size == 0; }
    uint8_t& operator[](size_t index) { return _data[index]; }
    const uint8_t& operator[](size_t index) const { return _data[index]; }
    uint8_t* buffer() { return _data; }
    const uint8_t* buffer() const { return _data; }
    const uint8_t* rawData() const override { return _data; }
    uint8_t* rawData() override { return _data; }

    iterator begin() { return _data; }
    iterator end() { return _data + _size; }
    const_iterator begin() const { return _data; }
    const_iterator end() const { return _data + _size; }
    reverse_iterator rbegin() { return reverse_iterator(end()); }
    reverse_iterator rend() { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

    void push_back(uint8_t byte);
    // Removes the last byte; does nothing on an empty store.
    void pop_back();
    // Inserts a byte before `position`; returns the position of the new byte.
    iterator insert(iterator position, uint8_t byte);
    void append(const void* bytes, size_t length);
    // Replaces the contents with `length` bytes.
    void set(const void* bytes, size_t length);
    // Appends `count` copies of `byte`.
    void pad(uint8_t byte, size_t count);
    // Grows (filling with `fill`) or shrinks to `size` bytes.
    void resize(size_t size, uint8_t fill = 0);
    // Zero-fills the storage and empties the store; the capacity is kept.
    void clear();
    // Zero-fills the storage, empties the store and gives back heap storage.
    void reset();

    CHexStore& operator+=(const CHexStore& other);
    CHexStore operator+(const CHexStore& other) const;

    // Equal size and bytes.
    bool operator==(const CHexStore& other) const;
    bool operator!=(const CHexStore& other) const { return !(*this == other); }
    // Bytewise unsigned order; a proper prefix is smaller.
    bool operator<(const CHexStore& other) const;
    bool operator<=(const CHexStore& other) const { return !(other < *this); }
    bool operator>(const CHexStore& other) const { return other < *this; }
    bool operator>=(const CHexStore& other) const { return !(*this < other); }

    const std::string& separator() const { return _separator; }
    void separator(const std::string& text) { _separator = text; }

    // Text form: two upper-case hex digits per byte, separator between bytes.
    std::string string() const;
    // Clears the store and parses a hexadecimal text (rules at _parse).
    void string(const std::string& text);

private:
    // Reads pairs of hex digits from the start of the text; after each pair
    // skips as many characters as the separator is long, whatever they are.
    // Stops when the text ends after a pair or after a skipped separator.
    void _parse(const char* text, size_t length);
    static uint8_t _char2Nybble(char character);

    void _reserve(size_t needed);
    void _allocate(size_t capacity);
    void _release();

    uint8_t _inline[inlineCapacity];
    uint8_t* _data;
    size_t _size = 0;
    size_t _capacity = inlineCapacity;
    std::string _separator;
};

} // namespace osk
