#include "standard/byte_order_conversion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ByteOrderConversionTest, NetworkOrderIsBigEndian)
{
    using C = osk::CByteOrderConversion;
    const uint32_t host = 0x01020304;
    const uint32_t net = C::hton(host);
    uint8_t bytes[4];
    std::memcpy(bytes, &net, 4);
    EXPECT_EQ(1, bytes[0]);
    EXPECT_EQ(4, bytes[3]);

    const uint64_t wide = 0x0102030405060708ULL;
    const uint64_t wideNet = C::hton(wide);
    uint8_t wideBytes[8];
    std::memcpy(wideBytes, &wideNet, 8);
    EXPECT_EQ(1, wideBytes[0]);
    EXPECT_EQ(8, wideBytes[7]);
    EXPECT_EQ(wide, C::ntoh(wideNet));

    const uint16_t shortNet = C::hton(uint16_t(0x1234));
    EXPECT_EQ(0x12, reinterpret_cast<const uint8_t*>(&shortNet)[0]);
    EXPECT_EQ(int16_t(-2), C::ntoh(C::hton(int16_t(-2))));
    EXPECT_EQ(int32_t(-70000), C::ntoh(C::hton(int32_t(-70000))));
    EXPECT_EQ(int64_t(-5), C::ntoh(C::hton(int64_t(-5))));
    EXPECT_EQ(uint8_t(0xAB), C::hton(uint8_t(0xAB)));
    EXPECT_EQ(int8_t(-7), C::hton(int8_t(-7)));
    EXPECT_TRUE(C::hton(true));
    EXPECT_EQ(__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__, C::bigEndian());
}

} // namespace
