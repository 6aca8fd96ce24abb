#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace osk {

// The message buffering shared by the 64-byte-block digests (MD5, SHA-1):
// collects input into whole blocks for the digest's compression function and
// applies the common padding (0x80, zeros, the 64-bit message bit count).
class CDigestBlocks {
public:
    enum length_order { littleEndianLength, bigEndianLength };

    CDigestBlocks() { reset(); }
    ~CDigestBlocks() { reset(); }

    void reset()
    {
        std::memset(_block, 0, sizeof(_block));
        _bitCount = 0;
    }

    // Feeds bytes; compress(const uint8_t* block) is called for every full block.
    template <class Compress>
    void feed(const void* bytes, size_t length, Compress compress)
    {
        const uint8_t* input = static_cast<const uint8_t*>(bytes);
        size_t used = static_cast<size_t>((_bitCount >> 3) & 63);
        _bitCount += static_cast<uint64_t>(length) << 3;
        if (used) {
            const size_t take = length < 64 - used ? length : 64 - used;
            std::memcpy(_block + used, input, take);
            used += take;
            input += take;
            length -= take;
            if (used < 64) return;
            compress(_block);
        }
        for (; length >= 64; input += 64, length -= 64) compress(input);
        if (length) std::memcpy(_block, input, length);
    }

    // Pads to 56 bytes modulo 64 and appends the message bit count in the
    // digest's byte order, compressing the final block(s).
    template <class Compress>
    void finish(length_order order, Compress compress)
    {
        const uint64_t bits = _bitCount;
        const uint8_t tail[64] = {0x80};
        const size_t used = static_cast<size_t>((bits >> 3) & 63);
        feed(tail, used < 56 ? 56 - used : 120 - used, compress);
        uint8_t lengthBytes[8];
        for (int i = 0; i < 8; ++i) {
            const int shift = order == bigEndianLength ? 56 - 8 * i : 8 * i;
            lengthBytes[i] = static_cast<uint8_t>(bits >> shift);
        }
        feed(lengthBytes, sizeof(lengthBytes), compress);
    }

private:
    uint8_t _block[64];
    uint64_t _bitCount = 0;
};

} // namespace osk
