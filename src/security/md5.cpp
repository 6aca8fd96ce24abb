#include "security/md5.h"

#include <cstring>

namespace osk {

namespace {

inline uint32_t rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t loadLE(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void storeLE(uint32_t value, uint8_t* p)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

// Per-step shift amounts of the four rounds.
constexpr unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

} // namespace

CMD5::CMD5()
{
    _reset();
}

CMD5::~CMD5()
{
    _blocks.reset();
    std::memset(_state, 0, sizeof(_state));
}

void CMD5::_reset()
{
    _state[0] = 0x67452301;
    _state[1] = 0xefcdab89;
    _state[2] = 0x98badcfe;
    _state[3] = 0x10325476;
    _blocks.reset();
    std::memset(_digest, 0, sizeof(_digest));
}

void CMD5::update(const void* bytes, size_t length)
{
    _blocks.feed(bytes, length, [this](const uint8_t* block) { _transform(block); });
}

void CMD5::update(const CHexStore& bytes)
{
    update(bytes.rawData(), bytes.size());
}

CHexStore CMD5::digest()
{
    _blocks.finish(CDigestBlocks::littleEndianLength, [this](const uint8_t* block) { _transform(block); });
    for (int i = 0; i < 4; ++i) storeLE(_state[i], _digest + 4 * i);
    CHexStore result(_digest, sizeof(_digest), "-");
    _reset();
    return result;
}

void CMD5::_transform(const uint8_t* block)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = loadLE(block + 4 * i);
    uint32_t a = _state[0], b = _state[1], c = _state[2], d = _state[3];
    for (unsigned i = 0; i < 64; ++i) {
        uint32_t f;
        unsigned g;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); g = i; break;
        case 1: f = (d & b) | (~d & c); g = (5 * i + 1) & 15; break;
        case 2: f = b ^ c ^ d; g = (3 * i + 5) & 15; break;
        default: f = c ^ (b | ~d); g = (7 * i) & 15; break;
        }
        const uint32_t rotated = rotl(a + f + kSine[i] + x[g], kShift[i / 16][i & 3]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    _state[0] += a;
    _state[1] += b;
    _state[2] += c;
    _state[3] += d;
}

} // namespace osk
