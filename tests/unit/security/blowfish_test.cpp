#include "security/blowfish.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "extended/exception.h"
#include "support/temp_dir.h"
#include "support/thrown.h"
#include "unit/security/expect_failure.h"

namespace {

using test_support::thrown;

// One 8-byte block: CBC from the all-zero initial vector enciphers a single
// block exactly as the bare cipher (ECB) does.
std::string ecb(const char* keyHex, const char* plainHex)
{
    osk::CBlowfish cipher;
    cipher.init(osk::CHexStore(keyHex, ""));
    osk::CHexStore block(plainHex, "");
    cipher.encrypt(block.rawData(), block.size(), osk::CBlowfish::modeCBC);
    const osk::CHexStore cipherText = block;
    cipher.decrypt(block.rawData(), block.size(), osk::CBlowfish::modeCBC);
    EXPECT_EQ(osk::CHexStore(plainHex, ""), block) << "decipher of key " << keyHex;
    osk::CHexStore out(cipherText);
    out.separator("");
    return out.string();
}

TEST(BlowfishTest, PublishedEcbVectors)
{
    struct Vector { const char* key; const char* plain; const char* cipher; };
    const Vector vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
        {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
        {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
        {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
        {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
        {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
        {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
        {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
        {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
        {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
        {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
        {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
        {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
        {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
        {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
        {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
        {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
        {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
        {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
        {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& v : vectors) EXPECT_EQ(v.cipher, ecb(v.key, v.plain)) << "key " << v.key;
}

TEST(BlowfishTest, PublishedVariableKeyVectors)
{
    // Keys are growing prefixes of one 24-byte key; past 8 bytes they show
    // the cyclic key schedule.
    const std::string fullKey = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
    const char* expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (size_t length = 1; length <= 24; ++length) {
        const std::string key = fullKey.substr(0, 2 * length);
        EXPECT_EQ(expected[length - 1], ecb(key.c_str(), "FEDCBA9876543210")) << "key " << key;
    }
}

TEST(BlowfishTest, KeysBeyond56BytesAreCut)
{
    std::vector<uint8_t> key(80);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
    osk::CBlowfish full, cut;
    full.init(key.data(), key.size());
    cut.init(key.data(), 56);
    uint8_t a[16] = {1, 2, 3}, b[16] = {1, 2, 3};
    full.encrypt(a, sizeof(a));
    cut.encrypt(b, sizeof(b));
    EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));
    osk::CBlowfish shorter;
    shorter.init(key.data(), 55);
    shorter.encrypt(b, sizeof(b));
    cut.encrypt(a, sizeof(a));
    EXPECT_NE(0, std::memcmp(a, b, sizeof(a)));
}

class BlowfishModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cipher.init(osk::CHexStore("01-23-45-67-89-AB-CD-EF-F0-E1-D2-C3-B4-A5-96-87"));
        for (size_t i = 0; i < sizeof(plain); ++i) plain[i] = static_cast<uint8_t>(i * 13 + 5);
        // Two equal blocks show whether a mode chains.
        std::memcpy(plain + 8, plain, 8);
    }

    // The bare cipher on one block (CBC from the zero vector on 8 bytes).
    void block(const uint8_t* in, uint8_t* out)
    {
        cipher.encrypt(in, out, 8, osk::CBlowfish::modeCBC);
    }

    osk::CBlowfish cipher;
    uint8_t plain[32];
};

TEST_F(BlowfishModeTest, CbcChainsBlocksFromZeroVector)
{
    uint8_t out[32];
    cipher.encrypt(plain, out, sizeof(plain), osk::CBlowfish::modeCBC);
    uint8_t previous[8] = {0}, mixed[8], expected[8];
    for (size_t offset = 0; offset < sizeof(plain); offset += 8) {
        for (int i = 0; i < 8; ++i) mixed[i] = plain[offset + i] ^ previous[i];
        block(mixed, expected);
        EXPECT_EQ(0, std::memcmp(expected, out + offset, 8)) << "block at " << offset;
        std::memcpy(previous, expected, 8);
    }
    EXPECT_NE(0, std::memcmp(out, out + 8, 8)) << "equal plain blocks must differ in CBC";

    uint8_t back[32];
    cipher.decrypt(out, back, sizeof(out), osk::CBlowfish::modeCBC);
    EXPECT_EQ(0, std::memcmp(plain, back, sizeof(plain)));
}

TEST_F(BlowfishModeTest, CfbXorsEncipheredPreviousBlock)
{
    uint8_t out[32];
    cipher.encrypt(plain, out, sizeof(plain), osk::CBlowfish::modeCFB);
    uint8_t previous[8] = {0}, stream[8];
    for (size_t offset = 0; offset < sizeof(plain); offset += 8) {
        block(previous, stream);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(plain[offset + i] ^ stream[i], out[offset + i]);
        std::memcpy(previous, out + offset, 8);
    }
    uint8_t data[32];
    std::memcpy(data, out, sizeof(data));
    cipher.decrypt(data, sizeof(data), osk::CBlowfish::modeCFB);
    EXPECT_EQ(0, std::memcmp(plain, data, sizeof(plain)));
}

TEST_F(BlowfishModeTest, EachCallStartsFromInitialVector)
{
    uint8_t first[32], second[32];
    std::memcpy(first, plain, sizeof(plain));
    std::memcpy(second, plain, sizeof(plain));
    cipher.encrypt(first, sizeof(first), osk::CBlowfish::modeCBC);
    cipher.encrypt(second, sizeof(second), osk::CBlowfish::modeCBC);
    EXPECT_EQ(0, std::memcmp(first, second, sizeof(first)));
    EXPECT_NE(0, std::memcmp(first, plain, sizeof(first)));
}

TEST_F(BlowfishModeTest, UnknownModesLeaveDataUnchanged)
{
    for (int mode : {0, 3, -1}) {
        uint8_t data[32];
        std::memcpy(data, plain, sizeof(data));
        cipher.encrypt(data, sizeof(data), mode);
        EXPECT_EQ(0, std::memcmp(plain, data, sizeof(data))) << mode;
        cipher.decrypt(data, sizeof(data), mode);
        EXPECT_EQ(0, std::memcmp(plain, data, sizeof(data))) << mode;
    }
}

TEST_F(BlowfishModeTest, BadLengthsAndKeysThrow)
{
    uint8_t data[16] = {0};
    for (size_t length : {size_t(0), size_t(7), size_t(9)})
        EXPECT_TRUE(
            raises([&] { cipher.encrypt(data, length); }, "Cannot decipher blowfish buffer.", "Invalid buffer length."))
            << length;
    uint8_t out[16];
    EXPECT_TRUE(raises([&] { cipher.decrypt(data, out, 12, osk::CBlowfish::modeCBC); }, "Cannot decipher buffer.",
                       "Invalid buffer length."));
    EXPECT_THROW(cipher.decrypt(data, 15), osk::CException);
    const auto keyless = [&] { cipher.init(data, 0); };
    EXPECT_TRUE(raises(keyless, "Cannot decipher blowfish buffer.", "Invalid key length."));
    EXPECT_EQ("CBlowfish::init", thrown(keyless).context());
    EXPECT_THROW(cipher.init(osk::CHexStore()), osk::CException);
}

TEST_F(BlowfishModeTest, StringsFillWholeBlocks)
{
    const std::pair<std::string, size_t> cases[] = {
        {"", 8}, {"1234567", 8}, {"12345678", 16}, {"a longer text of 23 ch.", 24},
    };
    for (const auto& c : cases) {
        osk::CHexStore out;
        cipher.encrypt_string(c.first, out);
        EXPECT_EQ(c.second, out.size()) << '"' << c.first << '"';

        // The enciphered buffer is the text, its NUL and zero fill.
        osk::CHexStore expected(c.first.data(), c.first.size());
        expected.pad(0, c.second - c.first.size());
        cipher.encrypt(expected.rawData(), expected.size(), osk::CBlowfish::modeCBC);
        EXPECT_EQ(expected, out);

        std::string back = "stale";
        cipher.decrypt_string(out, back);
        EXPECT_EQ(c.first, back);
    }
    std::string text;
    EXPECT_THROW(cipher.decrypt_string(osk::CHexStore("01-02-03"), text), osk::CException);
    EXPECT_THROW(cipher.decrypt_string(osk::CHexStore(), text), osk::CException);
}

class BlowfishKeyFileTest : public ::testing::Test {
protected:
    test_support::TempDir tmp;
    const std::string& directory = tmp.path();
};

TEST_F(BlowfishKeyFileTest, CreatesGroupReadableKeyOnceAndLoadsIt)
{
    std::vector<uint8_t> key;
    EXPECT_TRUE(osk::CBlowfish::create_key_file(directory, "key", key));
    ASSERT_EQ(1024u, key.size());
    struct stat info;
    ASSERT_EQ(0, ::stat((directory + "/key").c_str(), &info));
    EXPECT_EQ(0660u, info.st_mode & 07777);
    EXPECT_EQ(1024, info.st_size);

    std::ifstream file(directory + "/key", std::ios::binary);
    std::vector<uint8_t> written(1024);
    file.read(reinterpret_cast<char*>(written.data()), 1024);
    EXPECT_EQ(key, written);

    // An existing file is left alone.
    std::vector<uint8_t> again;
    EXPECT_FALSE(osk::CBlowfish::create_key_file(directory, "key", again));
    EXPECT_EQ(0, ::stat((directory + "/key").c_str(), &info));
    EXPECT_EQ(1024, info.st_size);

    osk::CBlowfish fromFile, direct;
    fromFile.init_from_file(directory, "key", 56);
    direct.init(key.data(), 56);
    uint8_t a[8] = {1}, b[8] = {1};
    fromFile.encrypt(a, 8);
    direct.encrypt(b, 8);
    EXPECT_EQ(0, std::memcmp(a, b, 8));
}

TEST_F(BlowfishKeyFileTest, LoadingFailuresThrow)
{
    osk::CBlowfish cipher;
    const osk::CException missing = thrown([&] { cipher.init_from_file(directory, "missing", 16); });
    EXPECT_EQ("Cannot open blowfish key file '" + directory + "/missing'.", missing.whatMsg().formatted());
    EXPECT_EQ("CBlowfish::init_from_file", missing.context());
    std::ofstream(directory + "/short") << "0123456789";
    EXPECT_TRUE(raises([&] { cipher.init_from_file(directory, "short", 16); },
                       "Cannot initialize blowfish cipher from key file '" + directory + "/short'.",
                       "Key file is invalid."));
    EXPECT_TRUE(raises([&] { cipher.init_from_file(directory, "short", 0); },
                       "Cannot initialize blowfish cipher with key length 0.", "Key cannot be empty."));
    EXPECT_NO_THROW(cipher.init_from_file(directory, "short", 10));
}

TEST_F(BlowfishKeyFileTest, UncreatableFileThrows)
{
    const osk::CException failure = thrown(
        [&] { osk::CBlowfish::create_key_file(directory + "/no/such/dir", "other"); });
    EXPECT_EQ("Failed to create blowfish key file '" + directory + "/no/such/dir/other'.",
              failure.whatMsg().formatted());
    EXPECT_EQ("CBlowfish::create_key_file", failure.context());
    EXPECT_EQ("security", failure.module());
}

} // namespace
