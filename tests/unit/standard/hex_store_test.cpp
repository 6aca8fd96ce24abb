#include "standard/hex_store.h"

#include <gtest/gtest.h>

#include <string>

#include "extended/exception.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

TEST(HexStoreTest, TextFormWithSeparators)
{
    const uint8_t bytes[] = {0x0A, 0xFF};
    osk::CHexStore store(bytes, 2);
    EXPECT_EQ("0A-FF", store.string());
    store.separator("");
    EXPECT_EQ("0AFF", store.string());
    store.separator(" : ");
    EXPECT_EQ("0A : FF", store.string());
    EXPECT_EQ("", osk::CHexStore().string());
}

TEST(HexStoreTest, ParsingIgnoresSeparatorCharactersAndCase)
{
    const uint8_t bytes[] = {0x0A, 0xFF};
    const osk::CHexStore expected(bytes, 2);
    EXPECT_EQ(expected, osk::CHexStore("0a-ff"));
    EXPECT_EQ(expected, osk::CHexStore("0A:FF"));
    EXPECT_EQ(expected, osk::CHexStore(std::string("0AFF"), ""));
    EXPECT_EQ(expected, osk::CHexStore("0A::FF", "::"));
    // A trailing separator or a cut separator ends the text cleanly.
    EXPECT_EQ(expected, osk::CHexStore("0A-FF-"));
    EXPECT_TRUE(osk::CHexStore("").empty());

    osk::CHexStore assigned(bytes, 2);
    assigned = "12-34-56";
    EXPECT_EQ("12-34-56", assigned.string());
    assigned.string("");
    EXPECT_TRUE(assigned.empty());
}

TEST(HexStoreTest, InvalidDigitThrowsWithCharacter)
{
    const osk::CException e = thrown([] { osk::CHexStore store("0G"); });
    EXPECT_EQ("Cannot convert character to nybble.", e.whatMsg().formatted());
    EXPECT_EQ("Invalid hexadecimal character 'G'.", e.whyMsg().formatted());
    EXPECT_EQ("CHexStore::_char2Nybble", e.context());
    EXPECT_EQ("standard", e.module());
    // A lone digit at the end cannot make a byte.
    EXPECT_THROW(osk::CHexStore("0A-F"), osk::CException);
    osk::CHexStore store("01");
    EXPECT_THROW(store = "zz", osk::CException);
}

TEST(HexStoreTest, InlineStorageGrowsByDoubling)
{
    osk::CHexStore store;
    EXPECT_EQ(64u, store.capacity());
    store.pad(0x11, 64);
    EXPECT_EQ(64u, store.capacity());
    store.push_back(0x22);
    EXPECT_EQ(128u, store.capacity());
    store.pad(0x33, 200);
    EXPECT_EQ(512u, store.capacity());
    EXPECT_EQ(265u, store.size());
    EXPECT_EQ(0x11, store[63]);
    EXPECT_EQ(0x22, store[64]);
    EXPECT_EQ(0x33, store[264]);

    // Text longer than the stack area is built on the heap.
    const std::string text = store.string();
    EXPECT_EQ(265u * 3 - 1, text.size());
    EXPECT_EQ(store, osk::CHexStore(text));

    store.clear();
    EXPECT_EQ(0u, store.size());
    EXPECT_EQ(512u, store.capacity());
    store.resize(3);
    EXPECT_EQ("00-00-00", store.string()) << "clear() must zero the storage";
    store.reset();
    EXPECT_EQ(64u, store.capacity());
    EXPECT_TRUE(store.empty());
}

TEST(HexStoreTest, EditingOperations)
{
    osk::CHexStore store;
    store.pop_back();
    EXPECT_TRUE(store.empty());
    store.push_back(1);
    store.push_back(3);
    auto it = store.insert(store.begin() + 1, 2);
    EXPECT_EQ(2, *it);
    store.insert(store.end(), 4);
    EXPECT_EQ("01-02-03-04", store.string());
    store.pop_back();
    EXPECT_EQ("01-02-03", store.string());
    store.resize(5, 0xEE);
    EXPECT_EQ("01-02-03-EE-EE", store.string());
    store.resize(2);
    EXPECT_EQ("01-02", store.string());

    // Appending the store to itself survives the reallocation.
    store.pad(7, 62);
    store.append(store.rawData(), store.size());
    EXPECT_EQ(128u, store.size());
    EXPECT_EQ(1, store[64]);
    EXPECT_EQ(7, store[127]);

    const uint8_t bytes[] = {9, 8};
    store.set(bytes, 2);
    EXPECT_EQ("09-08", store.string());
    std::string reversed;
    for (auto r = store.rbegin(); r != store.rend(); ++r) reversed += char('0' + *r);
    EXPECT_EQ("89", reversed);

    osk::CHexStore sum = store + osk::CHexStore("AB");
    EXPECT_EQ("09-08-AB", sum.string());
    sum += sum;
    EXPECT_EQ("09-08-AB-09-08-AB", sum.string());
}

TEST(HexStoreTest, CopyAndMoveKeepBytesAndSeparator)
{
    osk::CHexStore big;
    big.pad(0x5A, 100);
    big.separator(":");
    osk::CHexStore copy(big);
    EXPECT_EQ(big, copy);
    EXPECT_EQ(":", copy.separator());
    osk::CHexStore moved(std::move(copy));
    EXPECT_EQ(big, moved);
    EXPECT_TRUE(copy.empty());

    osk::CHexStore small("01-02");
    osk::CHexStore target;
    target = std::move(small);
    EXPECT_EQ("01-02", target.string());
    target = big;
    EXPECT_EQ(100u, target.size());
    target = std::move(moved);
    EXPECT_EQ(big, target);
}

TEST(HexStoreTest, OrderingIsUnsignedBytewiseWithPrefixSmaller)
{
    const osk::CHexStore a("01-02"), b("01-02-00"), c("01-80"), d("01-7F");
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(d, c) << "0x80 must compare above 0x7F";
    EXPECT_GT(c, a);
    EXPECT_LE(a, osk::CHexStore("01-02"));
    EXPECT_GE(a, osk::CHexStore("01-02"));
    EXPECT_NE(a, b);
    EXPECT_FALSE(a < a);
}

} // namespace
