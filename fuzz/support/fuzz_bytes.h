#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvo_fuzz {

// Cuts a fuzz input into the pieces a harness needs: single bytes for its
// choices and length-prefixed chunks (two bytes, big-endian) for datagrams
// or files. A prefix longer than what is left gives what is left, so every
// input is usable and mutations keep their meaning.
class FuzzBytes {
public:
    FuzzBytes(const uint8_t* data, size_t size) : _data(data), _size(size) {}

    bool empty() const { return _at >= _size; }
    // The next byte, 0 past the end.
    uint8_t byte() { return empty() ? 0 : _data[_at++]; }
    // A chunk of at most 65535 bytes.
    std::string chunk()
    {
        const size_t wanted = (size_t(byte()) << 8) | byte();
        const size_t length = wanted < _size - _at ? wanted : _size - _at;
        std::string out(reinterpret_cast<const char*>(_data + _at), length);
        _at += length;
        return out;
    }
    // Everything not taken yet.
    std::string rest()
    {
        std::string out(reinterpret_cast<const char*>(_data + _at), _size - _at);
        _at = _size;
        return out;
    }

private:
    const uint8_t* _data;
    size_t _size;
    size_t _at = 0;
};

} // namespace zelvo_fuzz
