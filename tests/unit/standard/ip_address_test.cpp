#include "standard/ip_address.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>
#include <functional>
#include <string>

#include "extended/exception.h"

namespace {

using osk::CIPAddress;

// Runs a call that must throw and returns "what|why" with arguments filled.
std::string failure(const std::function<void()>& call)
{
    try {
        call();
    } catch (const osk::CException& e) {
        EXPECT_EQ("standard", e.module());
        return e.whatMsg().formatted() + "|" + e.whyMsg().formatted();
    }
    ADD_FAILURE() << "no exception";
    return std::string();
}

TEST(IPAddressTest, IPv4TextIsStrictDecimalDottedQuad)
{
    EXPECT_EQ("192.168.1.10", CIPAddress("192.168.001.010").string());
    EXPECT_EQ("0.0.0.0", CIPAddress("000.000.000.000").string());
    EXPECT_EQ("255.255.255.255", CIPAddress("255.255.255.255").string());
    EXPECT_EQ(0xc0a8010aU, CIPAddress("192.168.1.10").numeric());

    const char* invalid[] = {"1.2.3",     "1.2.3.4.5", "256.1.1.1", "1..2.3",   "1.2.3.4 ",  " 1.2.3.4",
                             "1.2.3.",    ".1.2.3",    "+1.2.3.4",  "-1.2.3.4", "1.2.3.0x1", "1.2.3.1000",
                             "0001.2.3.4", "",         "a.b.c.d",   "1.2.3.4.", "1.2.3.4/8"};
    for (const char* text : invalid) {
        EXPECT_FALSE(CIPAddress::isValid(text)) << text;
        EXPECT_EQ(std::string("Cannot create an ip address.|Text '") + text + "' is not a valid IP address.",
                  failure([text] { CIPAddress address(text); }));
    }
    // An embedded NUL must not cut the text short.
    EXPECT_FALSE(CIPAddress::isValid(std::string("1.2.3.4\0", 8)));
    EXPECT_FALSE(CIPAddress::isValid(std::string("::1\0junk", 8)));
}

TEST(IPAddressTest, IPv6TextGoesThroughTheSystemForms)
{
    EXPECT_EQ("::1", CIPAddress("0:0:0:0:0:0:0:1").string());
    EXPECT_EQ("2001:db8::1", CIPAddress("2001:DB8:0::1").string());
    EXPECT_EQ("::ffff:10.0.0.1", CIPAddress("::ffff:10.0.0.1").string());
    EXPECT_EQ(CIPAddress::ipv6, CIPAddress("::").type());
    EXPECT_FALSE(CIPAddress::isValid("1:2:3:4:5:6:7:8:9"));
    EXPECT_FALSE(CIPAddress::isValid("[::1]"));
    EXPECT_FALSE(CIPAddress::isValid("::1 "));
    EXPECT_FALSE(CIPAddress::isValid("fe80::1%lo"));
    EXPECT_FALSE(CIPAddress::isValid("2001:db8:::1"));
}

TEST(IPAddressTest, FatStringHasFixedWidth)
{
    EXPECT_EQ("010.000.000.001", CIPAddress("10.0.0.1").fat_string());
    EXPECT_EQ("2001:0db8:0000:0000:0000:0000:00ab:0001", CIPAddress("2001:db8::ab:1").fat_string());
    EXPECT_EQ("255.199.009.000", CIPAddress("255.199.9.0").fat_string());
    EXPECT_EQ("ffff:fedc:0000:0000:0000:0000:0000:000f", CIPAddress("FFFF:FEDC::F").fat_string());
    // Fixed width makes text order agree with numeric order.
    EXPECT_LT(CIPAddress("9.0.0.1").fat_string(), CIPAddress("10.0.0.1").fat_string());
}

TEST(IPAddressTest, UnsetAddressRefusesTextAndArithmetic)
{
    CIPAddress unset;
    EXPECT_EQ(CIPAddress::unknown, unset.type());
    EXPECT_FALSE(unset.isValid());
    EXPECT_EQ(0U, unset.raw_len());
    EXPECT_EQ(AF_UNSPEC, unset.addr_family());
    EXPECT_EQ("Illegal operation.|Unknown address types cannot be serialized.", failure([&] { unset.string(); }));
    EXPECT_EQ("Illegal operation.|Unknown address types cannot be serialized.",
              failure([&] { unset.fat_string(); }));
    EXPECT_EQ("Illegal operation.|Unknown address type cannot be mapped to another type.",
              failure([&] { unset.mapTo(CIPAddress::ipv6); }));
    EXPECT_NE("", failure([&] { ++unset; }));
    EXPECT_NE("", failure([&] { unset + unset; }));
}

TEST(IPAddressTest, ConstructionFromRawAndSystemForms)
{
    in_addr v4;
    ASSERT_EQ(1, inet_pton(AF_INET, "10.1.2.3", &v4));
    EXPECT_EQ(CIPAddress("10.1.2.3"), CIPAddress(v4));
    in6_addr v6;
    ASSERT_EQ(1, inet_pton(AF_INET6, "fe80::2", &v6));
    EXPECT_EQ(CIPAddress("fe80::2"), CIPAddress(v6));
    EXPECT_EQ(0, std::memcmp(&v6, CIPAddress(v6).in6Addr().s6_addr, 16));

    const unsigned char bytes[4] = {172, 16, 0, 9};
    EXPECT_EQ("172.16.0.9", CIPAddress(bytes, 4).string());
    EXPECT_EQ("10.0.0.1", CIPAddress(0x0a000001U, CIPAddress::ipv4).string());
    EXPECT_EQ("::10.0.0.1", CIPAddress(0x0a000001U, CIPAddress::ipv6).string());
    EXPECT_EQ("::", CIPAddress(CIPAddress::ipv6).string());
    EXPECT_NE("", failure([&] { CIPAddress(bytes, 5); }));
    EXPECT_NE("", failure([&] { CIPAddress("10.0.0.1").in6Addr(); }));

    CIPAddress loop(CIPAddress::ipv6);
    loop.setLoopback();
    EXPECT_EQ("::1", loop.string());
    EXPECT_TRUE(loop.isLoopback());
    CIPAddress any;
    any.set_inaddr_any();
    EXPECT_EQ("0.0.0.0", any.string());
    EXPECT_TRUE(any.isAny());
}

TEST(IPAddressTest, MappingThereAndBack)
{
    const CIPAddress v4("10.0.0.1");
    const CIPAddress mapped = v4.mapTo(CIPAddress::ipv6);
    EXPECT_EQ("::ffff:10.0.0.1", mapped.string());
    EXPECT_TRUE(mapped.isMappedIPv4());
    EXPECT_EQ(v4, mapped.mapTo(CIPAddress::ipv4));
    EXPECT_EQ(v4, v4.mapTo(CIPAddress::ipv4));
    EXPECT_FALSE(CIPAddress("::10.0.0.1").isMappedIPv4());
    // Any other bit in the first twelve bytes, or an IPv4 address whose
    // bytes look like the prefix's end, is not a mapped address.
    EXPECT_FALSE(CIPAddress("1::ffff:10.0.0.1").isMappedIPv4());
    EXPECT_FALSE(CIPAddress("::1:ffff:10.0.0.1").isMappedIPv4());
    EXPECT_FALSE(CIPAddress("::fffe:10.0.0.1").isMappedIPv4());
    EXPECT_FALSE(CIPAddress("0.0.255.255").isMappedIPv4());
    EXPECT_TRUE(CIPAddress("::ffff:0.0.0.0").isMappedIPv4());
    EXPECT_EQ("Cannot map address ::1 to ipv4.|Address is not a v6-mapped-v4 address.",
              failure([] { CIPAddress("::1").mapTo(CIPAddress::ipv4); }));
}

TEST(IPAddressTest, ArithmeticCarriesAndWraps)
{
    EXPECT_EQ(CIPAddress("10.0.1.0"), CIPAddress("10.0.0.255") + CIPAddress("0.0.0.1"));
    EXPECT_EQ(CIPAddress("10.0.0.255"), CIPAddress("10.0.1.0") - CIPAddress("0.0.0.1"));
    EXPECT_EQ(CIPAddress("0.0.0.0"), CIPAddress("255.255.255.255") + CIPAddress("0.0.0.1"));
    EXPECT_EQ(CIPAddress("255.255.255.255"), CIPAddress("0.0.0.0") - CIPAddress("0.0.0.1"));
    EXPECT_EQ(CIPAddress("::1:0:0"), CIPAddress("::ffff:ffff") + CIPAddress("::1"));

    CIPAddress step("192.168.0.255");
    EXPECT_EQ(CIPAddress("192.168.0.255"), step++);
    EXPECT_EQ(CIPAddress("192.168.1.0"), step);
    EXPECT_EQ(CIPAddress("192.168.0.255"), --step);
    CIPAddress v6("2001:db8::");
    --v6;
    EXPECT_EQ("2001:db7:ffff:ffff:ffff:ffff:ffff:ffff", v6.string());

    EXPECT_EQ(CIPAddress("0.255.0.255"), ~CIPAddress("255.0.255.0"));
    EXPECT_EQ(CIPAddress("10.1.0.0"), CIPAddress("10.1.2.3") & CIPAddress("255.255.0.0"));
    EXPECT_EQ(CIPAddress("10.1.255.255"), CIPAddress("10.1.2.3") | CIPAddress("0.0.255.255"));
    EXPECT_EQ(CIPAddress("0.0.2.3"), CIPAddress("10.1.2.3") ^ CIPAddress("10.1.0.0"));
}

TEST(IPAddressTest, MixedTypesAreRejected)
{
    const CIPAddress v4("10.0.0.1");
    const CIPAddress v6("::1");
    const std::string mismatch = "Illegal operation.|Type mismatch between ip addresses.";
    EXPECT_EQ(mismatch, failure([&] { v4 + v6; }));
    EXPECT_EQ(mismatch, failure([&] { v6 - v4; }));
    EXPECT_EQ(mismatch, failure([&] { v4 & v6; }));
    EXPECT_EQ(mismatch, failure([&] { v4 | v6; }));
    EXPECT_EQ(mismatch, failure([&] { v4 ^ v6; }));
    CIPAddress target(v4);
    EXPECT_EQ(mismatch, failure([&] { target += v6; }));
    EXPECT_EQ(v4, target);
}

TEST(IPAddressTest, PrefixesAndMasks)
{
    EXPECT_EQ(CIPAddress("10.1.0.0"), CIPAddress("10.1.2.3").createPrefix(16));
    EXPECT_EQ(CIPAddress("10.1.2.0"), CIPAddress("10.1.2.3").createPrefix(23));
    EXPECT_EQ(CIPAddress("10.1.2.3"), CIPAddress("10.1.2.3").createPrefix(32));
    EXPECT_EQ(CIPAddress("0.0.0.0"), CIPAddress("10.1.2.3").createPrefix(0));
    EXPECT_EQ(CIPAddress("2001:db8:ab80::"), CIPAddress("2001:db8:abcd::1").createPrefix(41));
    EXPECT_EQ("Cannot create prefix from ip address.|Address contains less than 33 bits.",
              failure([] { CIPAddress("10.1.2.3").createPrefix(33); }));
    EXPECT_NO_THROW(CIPAddress("::1").createPrefix(128));
    EXPECT_NE("", failure([] { CIPAddress("::1").createPrefix(129); }));

    EXPECT_EQ(24U, CIPAddress::prefixLenFromMask(CIPAddress("255.255.255.0")));
    EXPECT_EQ(19U, CIPAddress::prefixLenFromMask(CIPAddress("255.255.224.0")));
    EXPECT_EQ(0U, CIPAddress::prefixLenFromMask(CIPAddress("0.0.0.0")));
    EXPECT_EQ(32U, CIPAddress::prefixLenFromMask(CIPAddress("255.255.255.255")));
    EXPECT_EQ(64U, CIPAddress::prefixLenFromMask(CIPAddress("ffff:ffff:ffff:ffff::")));
    const std::string bad = "Cannot calculate prefix length from subnet mask.|Subnet mask is invalid.";
    EXPECT_EQ(bad, failure([] { CIPAddress::prefixLenFromMask(CIPAddress("255.0.255.0")); }));
    EXPECT_EQ(bad, failure([] { CIPAddress::prefixLenFromMask(CIPAddress("255.255.253.0")); }));
    EXPECT_EQ(bad, failure([] { CIPAddress::prefixLenFromMask(CIPAddress("0.0.0.255")); }));
    EXPECT_EQ(bad, failure([] { CIPAddress::prefixLenFromMask(CIPAddress()); }));

    for (unsigned bits = 0; bits <= 128; ++bits)
        ASSERT_EQ(bits, CIPAddress::prefixLenFromMask(CIPAddress::maskFromPrefixLen(CIPAddress::ipv6, bits)));
}

TEST(IPAddressTest, OrderingPutsIPv4BeforeIPv6AndComparesAsNumbers)
{
    EXPECT_LT(CIPAddress("9.255.255.255"), CIPAddress("10.0.0.0"));
    EXPECT_GT(CIPAddress("::"), CIPAddress("255.255.255.255"));
    EXPECT_LT(CIPAddress("::1"), CIPAddress("::2"));
    EXPECT_FALSE(CIPAddress("10.0.0.1") < CIPAddress("10.0.0.1"));
    EXPECT_NE(CIPAddress("10.0.0.1"), CIPAddress("10.0.0.1").mapTo(CIPAddress::ipv6));
}

} // namespace
