#pragma once

#include <cstddef>
#include <cstdint>

#include "security/digest_blocks.h"
#include "standard/hex_store.h"

namespace osk {

// The SHA-1 message digest (FIPS 180-1). An object serves one message:
// digest() finalises, returns the 20 digest bytes and wipes the state.
class CSHA1 {
public:
    CSHA1();
    ~CSHA1();

    void update(const void* bytes, size_t length);
    void update(const CHexStore& bytes);
    // The digest with separator "-" ("A9-99-3E-...").
    CHexStore digest();

    static constexpr size_t digestLen() { return 20; }
    static constexpr size_t blockLen() { return 64; }

private:
    void _transform(const uint8_t* block);
    void _wipe();

    uint32_t _state[5];
    CDigestBlocks _blocks;
    uint8_t _digest[20];
};

} // namespace osk
