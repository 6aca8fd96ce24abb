#include "standard/endpoint.h"

#include <gtest/gtest.h>

#include <ace/INET_Addr.h>
#include <arpa/inet.h>

#include <set>

#include "extended/exception.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CEndpoint;
using osk::CIPAddress;

TEST(EndpointTest, TextFormsOfBothFamilies)
{
    EXPECT_EQ("10.0.0.1:69", CEndpoint(CIPAddress("10.0.0.1"), 69).string());
    EXPECT_EQ("[::1]:69", CEndpoint(CIPAddress("::1"), 69).string());

    const CEndpoint v6("[::1]:69");
    EXPECT_EQ(CIPAddress("::1"), v6.ip_address());
    EXPECT_EQ(69, v6.hbo_port());
    EXPECT_TRUE(v6.protocol_family().isIPv6());
    const CEndpoint v4("192.168.001.010:65535");
    EXPECT_EQ("192.168.1.10:65535", v4.string());
    EXPECT_TRUE(v4.protocol_family().isIPv4());
}

TEST(EndpointTest, MalformedTextIsRejected)
{
    const char* invalid[] = {"10.0.0.1",    "10.0.0.1:",     "10.0.0.1:65536", "10.0.0.1:-1", "10.0.0.1:6 9",
                             "::1:69",      "[::1]69",       "[::1]:",         "[::1:69",     "[10.0.0.1]:69",
                             ":69",         "10.0.0.1:0x45", "",               "[]:69",       "10.0.0.1:123456"};
    for (const char* text : invalid) {
        const std::string what = thrown([&] { CEndpoint endpoint(text); }).whatMsg().formatted();
        EXPECT_TRUE(what == "Cannot create an endpoint." || what == "Cannot create an ip address.") << text;
    }
    EXPECT_EQ("Text '1.2.3' is not a valid IP address.", thrown([] { CEndpoint("1.2.3:69"); }).whyMsg().formatted());
}

TEST(EndpointTest, SystemAndAceAddressesRoundTrip)
{
    const CEndpoint v4(CIPAddress("127.0.0.1"), 6969);
    const ACE_INET_Addr aceV4 = v4.ace_addr();
    EXPECT_EQ(AF_INET, aceV4.get_type());
    EXPECT_EQ(6969, aceV4.get_port_number());
    EXPECT_EQ(v4, CEndpoint(aceV4));

    CEndpoint v6(CIPAddress("fe80::1"), 69);
    v6.scope_id(1);
    const ACE_INET_Addr aceV6 = v6.ace_addr();
    EXPECT_EQ(AF_INET6, aceV6.get_type());
    EXPECT_EQ(v6, CEndpoint(aceV6));
    EXPECT_EQ(1U, CEndpoint(aceV6).scope_id());

    sockaddr_in raw{};
    raw.sin_family = AF_INET;
    raw.sin_port = htons(1234);
    raw.sin_addr.s_addr = htonl(0x0a000002);
    EXPECT_EQ("10.0.0.2:1234", CEndpoint(raw).string());

    sockaddr other{};
    other.sa_family = AF_UNIX;
    CEndpoint target;
    EXPECT_THROW(target.set(&other, sizeof(other)), osk::CException);
    EXPECT_THROW(CEndpoint().ace_addr(), osk::CException);
}

TEST(EndpointTest, ResetAndWildcards)
{
    CEndpoint endpoint("[2001:db8::1]:69");
    endpoint.set_inaddr_loopback();
    EXPECT_EQ("[::1]:69", endpoint.string());
    endpoint.set_inaddr_any();
    EXPECT_EQ("[::]:69", endpoint.string());
    endpoint.reset(CIPAddress::ipv4);
    EXPECT_EQ("0.0.0.0:0", endpoint.string());
}

TEST(EndpointTest, OrderedByAddressThenPort)
{
    EXPECT_LT(CEndpoint("10.0.0.1:70"), CEndpoint("10.0.0.2:69"));
    EXPECT_LT(CEndpoint("10.0.0.1:69"), CEndpoint("10.0.0.1:70"));
    EXPECT_GT(CEndpoint("[::1]:1"), CEndpoint("10.0.0.1:69"));
    EXPECT_EQ(CEndpoint("10.0.0.1:69"), CEndpoint(CIPAddress("10.0.0.1"), 69));
}

// The transfer tables are hashed by endpoint: equal endpoints must meet, and
// the clients of one address, which differ only in their ports, must spread
// over the low bits a table of buckets uses.
TEST(EndpointTest, HashMeetsEqualEndpointsAndSpreadsPorts)
{
    const osk::CEndpointHash hash;
    EXPECT_EQ(hash(CEndpoint("10.0.0.1:69")), hash(CEndpoint(CIPAddress("10.0.0.1"), 69)));
    CEndpoint linkLocal("[fe80::1]:69");
    linkLocal.scope_id(2);
    CEndpoint otherLink = linkLocal;
    EXPECT_EQ(hash(linkLocal), hash(otherLink));
    otherLink.scope_id(3);
    EXPECT_NE(hash(linkLocal), hash(otherLink));
    EXPECT_NE(hash(CEndpoint("10.0.0.1:69")), hash(CEndpoint("10.0.0.2:69")));
    EXPECT_NE(hash(CEndpoint("[::a00:1]:69")), hash(CEndpoint("10.0.0.1:69")));
    EXPECT_NE(hash(CEndpoint("[1::]:69")), hash(CEndpoint("[::1]:69")));

    for (const char* address : {"127.0.0.1", "::1"}) {
        std::set<size_t> buckets;
        for (uint16_t port = 1024; port < 1024 + 4096; ++port) {
            buckets.insert(hash(CEndpoint(CIPAddress(address), port)) % 4096);
        }
        // Random placement fills about 1 - 1/e of 4096 buckets (2589).
        EXPECT_GT(buckets.size(), 2400u) << address;
    }
}

} // namespace
