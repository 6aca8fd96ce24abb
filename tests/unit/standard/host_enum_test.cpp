#include "standard/host_enum.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>

#include "extended/exception.h"
#include "standard/interface_enum.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CHostEnum;
using osk::CInterfaceEnum;
using osk::CIPAddress;

bool has(const std::vector<CIPAddress>& list, const char* text)
{
    return std::find(list.begin(), list.end(), CIPAddress(text)) != list.end();
}

TEST(HostEnumTest, LocalhostResolvesToLoopbackWithoutDuplicates)
{
    const std::vector<CIPAddress> all = CHostEnum::enumerate("localhost");
    ASSERT_FALSE(all.empty());
    EXPECT_TRUE(has(all, "127.0.0.1"));
    for (const CIPAddress& address : all) {
        EXPECT_TRUE(address.isLoopback()) << address.string();
        EXPECT_EQ(1, std::count(all.begin(), all.end(), address));
    }
    const std::vector<CIPAddress> v4 = CHostEnum::enumerate("localhost", CHostEnum::resolver_order, AF_INET);
    for (const CIPAddress& address : v4) EXPECT_EQ(CIPAddress::ipv4, address.type());

    const std::vector<CIPAddress> v6First = CHostEnum::enumerate("localhost", CHostEnum::ipv6_first);
    const auto firstV4 = std::find_if(v6First.begin(), v6First.end(),
                                      [](const CIPAddress& a) { return a.type() == CIPAddress::ipv4; });
    EXPECT_TRUE(std::none_of(firstV4, v6First.end(), [](const CIPAddress& a) { return a.type() == CIPAddress::ipv6; }));
}

TEST(HostEnumTest, NumericTextAndFailures)
{
    EXPECT_EQ(std::vector<CIPAddress>{CIPAddress("10.9.8.7")}, CHostEnum::enumerate("10.9.8.7"));
    EXPECT_EQ(std::vector<CIPAddress>{CIPAddress("2001:db8::5")}, CHostEnum::enumerate("2001:db8::5"));
    const osk::CException e = thrown([] { CHostEnum::enumerate("no-such-host.invalid"); });
    EXPECT_EQ("Cannot resolve host name no-such-host.invalid.", e.whatMsg().formatted());
    EXPECT_FALSE(e.whyMsg().formatted().empty());
    EXPECT_THROW(CHostEnum::enumerate(std::string("localhost\0x", 11)), osk::CException);
}

TEST(HostEnumTest, ReverseResolutionAndServices)
{
    EXPECT_FALSE(CHostEnum::resolveNumeric(CIPAddress("127.0.0.1")).empty());
    // TEST-NET-1 has no name: numeric text unless a name is required.
    EXPECT_EQ("192.0.2.1", CHostEnum::resolveNumeric(CIPAddress("192.0.2.1")).substr(0, 9));
    EXPECT_THROW(CHostEnum::resolveNumeric(CIPAddress()), osk::CException);

    EXPECT_EQ(6969, CHostEnum::getServicePort("6969"));
    EXPECT_THROW(CHostEnum::getServicePort("65536"), osk::CException);
    EXPECT_THROW(CHostEnum::getServicePort("no-such-service"), osk::CException);
    EXPECT_THROW(CHostEnum::getServicePort(""), osk::CException);

    const std::string name = CHostEnum::shortHostname();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(std::string::npos, name.find('.'));
}

TEST(InterfaceEnumTest, ListsLoopbackByNameAndIndex)
{
    const CInterfaceEnum interfaces;
    EXPECT_TRUE(interfaces.contains(CIPAddress("127.0.0.1")));
    const auto loopback = std::find_if(interfaces.entries().begin(), interfaces.entries().end(),
                                       [](const CInterfaceEnum::CEntry& e) { return e.address == CIPAddress("127.0.0.1"); });
    ASSERT_NE(interfaces.entries().end(), loopback);
    EXPECT_EQ(CIPAddress("255.0.0.0"), loopback->netmask);
    EXPECT_NE(0U, loopback->index);
    EXPECT_TRUE(has(interfaces.addresses(loopback->name), "127.0.0.1"));
    EXPECT_TRUE(has(interfaces.addresses(loopback->index), "127.0.0.1"));
    EXPECT_TRUE(interfaces.addresses("no-such-interface").empty());
}

} // namespace
