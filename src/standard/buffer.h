#pragma once

#include <cstddef>
#include <cstdint>

namespace osk {

// A contiguous run of bytes that can be read in place: the common view of the
// framework's byte buffers, so codecs and ciphers need not know the concrete
// storage.
class CBuffer {
public:
    virtual ~CBuffer() = default;

    // Bytes in use.
    virtual size_t size() const = 0;
    // The first byte in use (valid while the buffer is not changed).
    virtual const uint8_t* rawData() const = 0;
    virtual uint8_t* rawData() = 0;

protected:
    CBuffer() = default;
    CBuffer(const CBuffer&) = default;
    CBuffer& operator=(const CBuffer&) = default;
};

} // namespace osk
