// Randomised checks of the request codec: encode/decode round trips, and
// hostile datagrams that must decode without touching a byte outside the
// datagram. Every datagram lives in a heap block of exactly its own size, so
// under AddressSanitizer an overread of even one byte fails the run.

#include "tftp/tftp_server/tftp_packet.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using Rng = std::mt19937_64;

// Largest datagram the engine's buffer can hold (block size 65464 + header).
const size_t kMaxDatagram = 65464 + 4;

uint64_t uniform(Rng& rng, uint64_t lo, uint64_t hi)
{
    return std::uniform_int_distribution<uint64_t>(lo, hi)(rng);
}

bool chance(Rng& rng, unsigned oneIn)
{
    return uniform(rng, 0, oneIn - 1) == 0;
}

CConnReq randomRequest(Rng& rng)
{
    CConnReq r;
    r.operation(chance(rng, 2) ? CTFTPOpcode::rrq : CTFTPOpcode::wrq);
    std::string name(uniform(rng, 0, 120), '\0');
    for (char& c : name) c = static_cast<char>(uniform(rng, 1, 255));
    r.file(name);
    r.octet_mode(chance(rng, 2));
    // Values travel as signed 32-bit numbers: stay within the positive range.
    if (chance(rng, 2)) r.blksize(uniform(rng, 0, INT32_MAX));
    if (chance(rng, 2)) r.timeout_sec(uniform(rng, 0, INT32_MAX));
    if (chance(rng, 2)) r.tsize(uniform(rng, 0, INT32_MAX));
    return r;
}

std::string encode(const CConnReq& r)
{
    static CTFTPPacket p(512);
    p.wipe();
    p.opcode(r.operation());
    const int n = p.set_conn_req(r);
    return std::string(reinterpret_cast<const char*>(p.raw_pkt()), static_cast<size_t>(n));
}

// A copy of the datagram in a block of exactly its size.
struct ExactCopy {
    explicit ExactCopy(const std::string& bytes) : size(bytes.size()), data(new unsigned char[bytes.size()])
    {
        if (size) std::memcpy(data.get(), bytes.data(), size);
    }
    CTFTPPacket packet() { return CTFTPPacket(data.get(), static_cast<int>(size)); }
    size_t size;
    std::unique_ptr<unsigned char[]> data;
};

TEST(TFTPPacketPropertyTest, EncodedRequestDecodesBack)
{
    Rng rng(20240611);
    for (int i = 0; i < 20000; ++i) {
        const CConnReq original = randomRequest(rng);
        std::string bytes = encode(original);
        ASSERT_FALSE(bytes.empty());
        // Mode and option names compare in any case: shout some of them.
        for (size_t k = 2 + original.file().size() + 1; k < bytes.size(); ++k)
            if (chance(rng, 3)) bytes[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(bytes[k])));

        ExactCopy copy(bytes);
        CTFTPPacket p = copy.packet();
        CConnReq decoded;
        ASSERT_TRUE(p.get_conn_req(decoded));
        ASSERT_TRUE(original.sameRequest(decoded)) << "case " << i << "\nsent:    " << original.string()
                                                   << "\ndecoded: " << decoded.string();
    }
}

// ---- hostile datagrams --------------------------------------------------

std::string randomBytes(Rng& rng, size_t n, bool allowNul)
{
    std::string s(n, '\0');
    uint64_t bits = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i % 8 == 0) bits = rng();
        char c = static_cast<char>(bits & 0xff);
        bits >>= 8;
        if (c == '\0' && !allowNul) c = 'z';
        s[i] = c;
    }
    return s;
}

std::string mutate(Rng& rng, std::string s)
{
    const int rounds = static_cast<int>(uniform(rng, 1, 4));
    for (int i = 0; i < rounds; ++i) {
        switch (uniform(rng, 0, 5)) {
        case 0: // truncate
            s.resize(uniform(rng, 0, s.size()));
            break;
        case 1: // flip a byte
            if (!s.empty()) s[uniform(rng, 0, s.size() - 1)] = static_cast<char>(uniform(rng, 0, 255));
            break;
        case 2: // no terminators at all
            for (char& c : s)
                if (c == '\0') c = 'a';
            break;
        case 3: // a run of empty strings
            s.insert(uniform(rng, 0, s.size()), std::string(uniform(rng, 1, 12), '\0'));
            break;
        case 4: // an option name with or without value
            s += chance(rng, 2) ? std::string("BLKSIZE\0-1", 10) : std::string("tsize");
            break;
        default: // zero a byte
            if (!s.empty()) s[uniform(rng, 0, s.size() - 1)] = '\0';
            break;
        }
    }
    return s;
}

std::string hugeOptionList(Rng& rng)
{
    std::string s("\0\1f\0octet\0", 10);
    const size_t target = uniform(rng, 1000, kMaxDatagram);
    while (s.size() < target) {
        switch (uniform(rng, 0, 3)) {
        case 0: s += std::string("windowsize\0" "8\0", 13); break;
        case 1: s += std::string(uniform(rng, 1, 40), '\0'); break;
        case 2: s += randomBytes(rng, uniform(rng, 1, 30), false) + '\0'; break;
        default: s += "blksiz"; break;
        }
    }
    s.resize(target);
    return s;
}

std::string hostileDatagram(Rng& rng)
{
    const char header[] = {0, static_cast<char>(uniform(rng, 0, 7))};
    switch (uniform(rng, 0, 9)) {
    case 0: return randomBytes(rng, uniform(rng, 0, 8), true);
    case 1: return randomBytes(rng, uniform(rng, 0, 600), true);
    case 2: return std::string(header, 2) + randomBytes(rng, uniform(rng, 0, 600), true);
    case 3: return std::string(header, 2) + randomBytes(rng, uniform(rng, 0, 600), false);
    case 4: return std::string("\0\6", 2) + mutate(rng, encode(randomRequest(rng)).substr(2));
    default:
        if (chance(rng, 800)) return hugeOptionList(rng);
        return mutate(rng, encode(randomRequest(rng)));
    }
}

TEST(TFTPPacketRobustnessTest, MillionHostileDatagrams)
{
    Rng rng(77);
    const int kCases = 1000000;
    int wrongVerdicts = 0;
    int badNames = 0;
    int requests = 0;
    for (int i = 0; i < kCases; ++i) {
        const std::string bytes = hostileDatagram(rng);
        const size_t n = bytes.size();
        const unsigned word = n >= 2 ? (static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1])
                                     : 0;

        ExactCopy a(bytes);
        CTFTPPacket p = a.packet();
        if (static_cast<unsigned>(static_cast<int>(p.opcode())) != (n >= 2 && word <= 6 ? word : 0)) ++wrongVerdicts;
        (void)p.block();
        (void)p.error_code();
        (void)p.message();
        (void)p.filename();

        CConnReq req;
        const bool isRequest = n >= 3 && (word == 1 || word == 2);
        if (p.get_conn_req(req) != isRequest) ++wrongVerdicts;
        if (isRequest) {
            ++requests;
            // The name is the bytes from offset 2 up to the first zero, never
            // reaching the (overwritten) last byte.
            const std::string expected = bytes.substr(2, n - 3).c_str();
            if (req.file() != expected) ++badNames;
        }

        // Only an OACK gets past the opcode check: decode those from fresh bytes.
        CConnReq oack;
        if (word == 6) {
            ExactCopy b(bytes);
            CTFTPPacket q = b.packet();
            if (q.get_oack(oack) != (n >= 3)) ++wrongVerdicts;
        } else if (p.get_oack(oack)) {
            ++wrongVerdicts;
        }
    }
    EXPECT_EQ(0, wrongVerdicts);
    EXPECT_EQ(0, badNames);
    EXPECT_GT(requests, kCases / 3); // the generator mostly sends requests
}

} // namespace
