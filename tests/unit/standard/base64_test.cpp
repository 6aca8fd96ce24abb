#include "standard/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "extended/exception.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

osk::CHexStore bytesOf(const std::string& text)
{
    return osk::CHexStore(text.data(), text.size());
}

TEST(Base64Test, Rfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& vector : vectors) {
        EXPECT_EQ(vector.second, CBase64::encode(bytesOf(vector.first))) << vector.first;
        EXPECT_EQ(bytesOf(vector.first), CBase64::decode(vector.second)) << vector.second;
    }
}

TEST(Base64Test, AllByteValuesRoundTrip)
{
    osk::CHexStore all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(255 - i));
    const std::string text = CBase64::encode(all);
    EXPECT_EQ(344u, text.size());
    EXPECT_EQ(std::string::npos, text.find_first_not_of(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="));
    EXPECT_EQ(all, CBase64::decode(text));
    EXPECT_EQ("+/8=", CBase64::encode(osk::CHexStore("FB-FF")));
}

TEST(Base64Test, MalformedLengthThrows)
{
    const osk::CException e = thrown([] { CBase64::decode("Zm9vY"); });
    EXPECT_EQ("Cannot decode input 'Zm9vY' from base 64.", e.whatMsg().formatted());
    EXPECT_EQ("Invalid length.", e.whyMsg().formatted());
    EXPECT_EQ("CBase64::decode", e.context());
}

TEST(Base64Test, MalformedCharactersThrow)
{
    for (const std::string& text : {std::string("Zm9*"), std::string("Zm 9"), std::string("Zm9\xC3", 4), std::string("Zm\0v", 4)}) {
        const osk::CException e = thrown([&] { CBase64::decode(text); });
        EXPECT_EQ("Error decoding base 64.", e.whatMsg().formatted()) << text;
        EXPECT_EQ("Invalid data.", e.whyMsg().formatted());
        EXPECT_EQ("standard", e.module());
    }
}

TEST(Base64Test, PaddingOnlyDropsTrailingBytes)
{
    // "=" counts as zero bits wherever it stands; only its place in the
    // last two positions of a group shortens the group.
    EXPECT_EQ("00-00-00", CBase64::decode("=AAA").string());
    EXPECT_EQ("00-00-00", CBase64::decode("AA=A").string());
    EXPECT_EQ("66", CBase64::decode("Zg==").string());
}

} // namespace
