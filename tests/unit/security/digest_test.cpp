#include "security/md5.h"
#include "security/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

template <class Digest>
std::string digestOf(const std::string& message)
{
    Digest digest;
    digest.update(message.data(), message.size());
    osk::CHexStore result = digest.digest();
    result.separator("");
    return result.string();
}

TEST(MD5Test, Rfc1321Suite)
{
    const std::pair<const char*, const char*> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& entry : suite) EXPECT_EQ(entry.second, digestOf<osk::CMD5>(entry.first)) << entry.first;
}

TEST(MD5Test, EmptyDigestTextAndReuse)
{
    osk::CMD5 md5;
    EXPECT_EQ("D4-1D-8C-D9-8F-00-B2-04-E9-80-09-98-EC-F8-42-7E", md5.digest().string());
    // The object starts over after digest().
    md5.update(osk::CHexStore("61-62-63"));
    EXPECT_EQ("90-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72", md5.digest().string());
    EXPECT_EQ(16u, osk::CMD5::digestLen());
    EXPECT_EQ(64u, osk::CMD5::blockLen());
}

TEST(SHA1Test, Fips180Vectors)
{
    EXPECT_EQ("A9993E364706816ABA3E25717850C26C9CD0D89D", digestOf<osk::CSHA1>("abc"));
    EXPECT_EQ("84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
              digestOf<osk::CSHA1>("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    EXPECT_EQ("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", digestOf<osk::CSHA1>(""));
    EXPECT_EQ(20u, osk::CSHA1::digestLen());
    EXPECT_EQ(64u, osk::CSHA1::blockLen());
}

TEST(SHA1Test, OneMillionAInUnevenPieces)
{
    osk::CSHA1 sha1;
    const std::string chunk(997, 'a');
    size_t left = 1000000;
    while (left > 0) {
        const size_t take = left < chunk.size() ? left : chunk.size();
        sha1.update(chunk.data(), take);
        left -= take;
    }
    EXPECT_EQ("34-AA-97-3C-D4-C4-DA-A4-F6-1E-EB-2B-DB-AD-27-31-65-34-01-6F", sha1.digest().string());
}

TEST(DigestTest, PaddingBoundaries)
{
    // Messages of 55, 56, 63 and 64 bytes put the length field in the same
    // block or force an extra block; piecewise feeding must agree.
    const std::pair<size_t, const char*> md5Cases[] = {
        {55, "EF1772B6DFF9A122358552954AD0DF65"},
        {56, "3B0C8AC703F828B04C6C197006D17218"},
        {64, "014842D480B571495A4A0363793F7367"},
    };
    for (const auto& entry : md5Cases) {
        const std::string message(entry.first, 'a');
        EXPECT_EQ(entry.second, digestOf<osk::CMD5>(message)) << entry.first;
        osk::CMD5 pieces;
        for (char c : message) pieces.update(&c, 1);
        osk::CHexStore result = pieces.digest();
        result.separator("");
        EXPECT_EQ(entry.second, result.string()) << entry.first;
    }
}

} // namespace
