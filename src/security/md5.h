#pragma once

#include <cstddef>
#include <cstdint>

#include "security/digest_blocks.h"
#include "standard/hex_store.h"

namespace osk {

// The MD5 message digest (RFC 1321). Feed the message with update() in any
// number of pieces; digest() finalises, returns the 16 digest bytes and
// resets the object for a new message.
class CMD5 {
public:
    CMD5();
    ~CMD5();

    void update(const void* bytes, size_t length);
    void update(const CHexStore& bytes);
    // The digest with separator "-" ("D4-1D-8C-...").
    CHexStore digest();

    static constexpr size_t digestLen() { return 16; }
    static constexpr size_t blockLen() { return 64; }

private:
    void _reset();
    void _transform(const uint8_t* block);

    uint32_t _state[4];
    CDigestBlocks _blocks;
    uint8_t _digest[16];
};

} // namespace osk
