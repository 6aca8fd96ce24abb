#include "standard/sock_dgram.h"

#include <gtest/gtest.h>

#include <ace/Time_Value.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "standard/interface_enum.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CEndpoint;
using osk::CIPAddress;
using osk::CSockDgram;

void roundTrip(const char* loopback)
{
    const CEndpoint local(CIPAddress(loopback), 0);
    CSockDgram server;
    CSockDgram client;
    server.open(local);
    client.open(local);
    const CEndpoint serverAt = server.local_endpoint();
    const CEndpoint clientAt = client.local_endpoint();
    ASSERT_NE(0, serverAt.hbo_port());
    EXPECT_EQ(CIPAddress(loopback), serverAt.ip_address());

    const std::string request = "query_ping";
    ASSERT_EQ(static_cast<ssize_t>(request.size()), client.send(request.data(), request.size(), serverAt));
    char buffer[64];
    CEndpoint from;
    const ACE_Time_Value wait(2);
    ssize_t received = server.recv(buffer, sizeof(buffer), from, 0, &wait);
    ASSERT_EQ(static_cast<ssize_t>(request.size()), received);
    EXPECT_EQ(request, std::string(buffer, static_cast<size_t>(received)));
    EXPECT_EQ(clientAt, from);

    const std::string reply = "pong";
    ASSERT_EQ(static_cast<ssize_t>(reply.size()), server.send_blocked(reply.data(), reply.size(), from));
    received = client.recv(buffer, sizeof(buffer), from, 0, &wait);
    ASSERT_EQ(static_cast<ssize_t>(reply.size()), received);
    EXPECT_EQ(reply, std::string(buffer, static_cast<size_t>(received)));
    EXPECT_EQ(serverAt, from);
}

TEST(SockDgramTest, RoundTripOnIPv4Loopback)
{
    roundTrip("127.0.0.1");
}

TEST(SockDgramTest, RoundTripOnIPv6Loopback)
{
    if (!osk::CInterfaceEnum().contains(CIPAddress("::1"))) GTEST_SKIP() << "no ::1 on this host";
    roundTrip("::1");
}

TEST(SockDgramTest, ReceiveTimesOut)
{
    CSockDgram socket;
    socket.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    char buffer[8];
    CEndpoint from;
    const ACE_Time_Value wait(0, 50000);
    EXPECT_EQ(-1, socket.recv(buffer, sizeof(buffer), from, 0, &wait));
    EXPECT_EQ(ETIME, errno);
}

TEST(SockDgramTest, OpenFailuresAreReported)
{
    CSockDgram first;
    first.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    CSockDgram second;
    const osk::CException e = thrown([&] { second.open(first.local_endpoint()); });
    EXPECT_EQ("Failed to open a datagram socket.", e.whatMsg().formatted());
    EXPECT_EQ(EADDRINUSE, e.err_code());
    EXPECT_FALSE(second.isOpen());
    EXPECT_THROW(second.open(CEndpoint()), osk::CException);
}

// The port the system gave the socket, asked directly.
uint16_t boundPort(const CSockDgram& socket)
{
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    if (::getsockname(socket.get_handle(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return ntohs(bound.sin_port);
}

TEST(SockDgramTest, LocalEndpointIsTheAddressOfTheCurrentBinding)
{
    CSockDgram socket;
    socket.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    const CEndpoint first = socket.local_endpoint();
    EXPECT_EQ(CIPAddress("127.0.0.1"), first.ip_address());
    EXPECT_EQ(boundPort(socket), first.hbo_port());

    // Opened again while another socket holds the first port: the address
    // is the new binding's, not the one remembered from before.
    socket.close();
    CSockDgram holder;
    holder.open(first);
    socket.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    EXPECT_NE(first.hbo_port(), socket.local_endpoint().hbo_port());
    EXPECT_EQ(boundPort(socket), socket.local_endpoint().hbo_port());

    // A closed socket has no address.
    socket.close();
    EXPECT_THROW(socket.local_endpoint(), osk::CException);
}

TEST(SockDgramTest, WildcardOpenHonoursV6Only)
{
    if (!osk::CInterfaceEnum::hasIPv6()) GTEST_SKIP() << "no IPv6 on this host";
    CSockDgram socket;
    socket.v6Only(true);
    socket.open(0, true);
    EXPECT_TRUE(socket.protocol_family().isIPv6());
    EXPECT_EQ(CIPAddress("::"), socket.local_endpoint().ip_address());
    int value = 0;
    socklen_t length = sizeof(value);
    ASSERT_EQ(0, getsockopt(socket.get_handle(), IPPROTO_IPV6, IPV6_V6ONLY, &value, &length));
    EXPECT_EQ(1, value);

    // A dual-stack socket sees IPv4 peers as v4-mapped addresses.
    CSockDgram dual;
    dual.open(0, true);
    ASSERT_EQ(0, getsockopt(dual.get_handle(), IPPROTO_IPV6, IPV6_V6ONLY, &value, &length));
    EXPECT_EQ(0, value);
    CSockDgram client;
    client.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    const char byte = 'x';
    ASSERT_EQ(1, client.send(&byte, 1, CEndpoint(CIPAddress("127.0.0.1"), dual.local_endpoint().hbo_port())));
    char buffer[4];
    CEndpoint from;
    const ACE_Time_Value wait(2);
    ASSERT_EQ(1, dual.recv(buffer, sizeof(buffer), from, 0, &wait));
    EXPECT_EQ(CIPAddress("127.0.0.1").mapTo(CIPAddress::ipv6), from.ip_address());
}

TEST(SockDgramTest, SendBlockedReportsHardFailuresAsMinusOne)
{
    CSockDgram socket;
    socket.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    // Larger than any UDP datagram.
    const std::vector<char> huge(70000, 'a');
    EXPECT_EQ(-1, socket.send_blocked(huge.data(), huge.size(), socket.local_endpoint()));
    EXPECT_EQ(EMSGSIZE, errno);
    const char byte = 0;
    EXPECT_EQ(-1, socket.send_blocked(&byte, 1, CEndpoint()));
}

TEST(SockDgramTest, SendManyJoinsThePartsOfEachDatagramInOrder)
{
    CSockDgram sender;
    CSockDgram receiver;
    sender.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    receiver.open(CEndpoint(CIPAddress("127.0.0.1"), 0));
    // 70 datagrams: more than one batch of the kernel call.
    std::vector<std::string> heads;
    std::vector<std::string> bodies;
    for (int i = 0; i < 70; ++i) {
        heads.push_back("h" + std::to_string(i) + ":");
        bodies.push_back(std::string(static_cast<size_t>(i), static_cast<char>('a' + i % 26)));
    }
    std::vector<iovec> parts;
    for (int i = 0; i < 70; ++i) {
        parts.push_back(iovec{const_cast<char*>(heads[i].data()), heads[i].size()});
        parts.push_back(iovec{const_cast<char*>(bodies[i].data()), bodies[i].size()});
    }
    EXPECT_EQ(70u, sender.send_many(parts.data(), 2, 70, receiver.local_endpoint()));
    const ACE_Time_Value wait(2);
    for (int i = 0; i < 70; ++i) {
        char buffer[128];
        CEndpoint from;
        const ssize_t received = receiver.recv(buffer, sizeof(buffer), from, 0, &wait);
        ASSERT_GE(received, 0) << i;
        EXPECT_EQ(heads[i] + bodies[i], std::string(buffer, static_cast<size_t>(received))) << i;
    }
    // Nothing is sent to an endpoint without an address, or too large.
    EXPECT_EQ(0u, sender.send_many(parts.data(), 2, 1, CEndpoint()));
    const std::vector<char> huge(70000, 'a');
    const iovec tooLarge{const_cast<char*>(huge.data()), huge.size()};
    EXPECT_EQ(0u, sender.send_many(&tooLarge, 1, 1, receiver.local_endpoint()));
}

} // namespace
