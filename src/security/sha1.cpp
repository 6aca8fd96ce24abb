#include "security/sha1.h"

#include <cstring>

namespace osk {

namespace {

inline uint32_t rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t loadBE(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void storeBE(uint32_t value, uint8_t* p)
{
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

} // namespace

CSHA1::CSHA1()
{
    _state[0] = 0x67452301;
    _state[1] = 0xEFCDAB89;
    _state[2] = 0x98BADCFE;
    _state[3] = 0x10325476;
    _state[4] = 0xC3D2E1F0;
    _blocks.reset();
    std::memset(_digest, 0, sizeof(_digest));
}

CSHA1::~CSHA1()
{
    _wipe();
}

void CSHA1::_wipe()
{
    std::memset(_state, 0, sizeof(_state));
    _blocks.reset();
    std::memset(_digest, 0, sizeof(_digest));
}

void CSHA1::update(const void* bytes, size_t length)
{
    _blocks.feed(bytes, length, [this](const uint8_t* block) { _transform(block); });
}

void CSHA1::update(const CHexStore& bytes)
{
    update(bytes.rawData(), bytes.size());
}

CHexStore CSHA1::digest()
{
    _blocks.finish(CDigestBlocks::bigEndianLength, [this](const uint8_t* block) { _transform(block); });
    for (int i = 0; i < 5; ++i) storeBE(_state[i], _digest + 4 * i);
    CHexStore result(_digest, sizeof(_digest), "-");
    _wipe();
    return result;
}

void CSHA1::_transform(const uint8_t* block)
{
    uint32_t w[80];
    for (int t = 0; t < 16; ++t) w[t] = loadBE(block + 4 * t);
    for (int t = 16; t < 80; ++t) w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = _state[0], b = _state[1], c = _state[2], d = _state[3], e = _state[4];
    // One loop per round function keeps the loop bodies branch-free.
    auto step = [&](uint32_t f, uint32_t k, uint32_t word) {
        const uint32_t temp = rotl(a, 5) + f + e + word + k;
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = temp;
    };
    for (int t = 0; t < 20; ++t) step((b & c) | (~b & d), 0x5A827999, w[t]);
    for (int t = 20; t < 40; ++t) step(b ^ c ^ d, 0x6ED9EBA1, w[t]);
    for (int t = 40; t < 60; ++t) step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[t]);
    for (int t = 60; t < 80; ++t) step(b ^ c ^ d, 0xCA62C1D6, w[t]);
    _state[0] += a;
    _state[1] += b;
    _state[2] += c;
    _state[3] += d;
    _state[4] += e;
}

} // namespace osk
