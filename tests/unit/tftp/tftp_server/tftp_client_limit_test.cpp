// The per-address transfer limit of the engine's request intake.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace {

using namespace engine_test;

const char* const kBusy = "Too many transfers from this address; try again later.";

class TFTPClientLimitTest : public CEngineFixture {
protected:
    // Starts a download of a two-block file and leaves it waiting for the
    // acknowledgement of block 1; the port of its transfer in port.
    void begin(CClient& client, uint16_t& port)
    {
        client.send(_requestPort, request(1, "two.bin"));
        Bytes packet;
        ASSERT_TRUE(client.recv(packet, 2000, &port));
        ASSERT_EQ(3, opcodeOf(packet)) << errorText(packet);
        ASSERT_EQ(1, blockOf(packet));
    }
    void expectBusy(CClient& client)
    {
        client.send(_requestPort, request(1, "two.bin"));
        Bytes packet;
        uint16_t port = 0;
        ASSERT_TRUE(client.recv(packet, 2000, &port));
        EXPECT_EQ(5, opcodeOf(packet));
        EXPECT_EQ(0, blockOf(packet));  // error code 0: see the message
        EXPECT_EQ(kBusy, errorText(packet));
        EXPECT_EQ(_requestPort, port);
    }
};

TEST_F(TFTPClientLimitTest, AnAddressAtItsLimitIsRefusedWhileAnotherIsServed)
{
    writeFile("two.bin", pattern(700));
    // A long timer: the waiting transfers stay active through the test.
    start({{"tftp.max_connections_per_client", "2"}, {"tftp.timeout", "10s"}});
    CClient first;
    CClient second;
    uint16_t firstPort = 0;
    uint16_t secondPort = 0;
    begin(first, firstPort);
    begin(second, secondPort);
    EXPECT_EQ(2u, active());

    CClient third;
    expectBusy(third);
    EXPECT_EQ(2u, active());

    // Another machine is served while the first one is at its limit.
    CClient elsewhere("127.0.0.2");
    uint16_t elsewherePort = 0;
    begin(elsewhere, elsewherePort);
    EXPECT_EQ(3u, active());

    // A client with a running transfer that asks again repeats it: it is
    // not refused, and it still counts once.
    first.send(_requestPort, request(1, "two.bin"));
    Bytes packet;
    ASSERT_TRUE(first.recv(packet, 2000));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ(3u, active());

    // A finished transfer gives its place back.
    first.send(firstPort, ack(1));
    ASSERT_TRUE(first.recv(packet, 2000));
    first.send(firstPort, ack(2));
    ASSERT_TRUE(waitGone(first, 2000));
    uint16_t thirdPort = 0;
    begin(third, thirdPort);
}

// A change of the limit (as set_properties makes it) applies to the next
// request sent after it, and an emptied value means the default.
TEST_F(TFTPClientLimitTest, AChangedLimitAppliesToTheNextRequest)
{
    writeFile("two.bin", pattern(700));
    start({{"tftp.max_connections_per_client", "1"}, {"tftp.timeout", "10s"}});
    std::vector<std::unique_ptr<CClient>> clients;
    auto beginOne = [&clients, this] {
        clients.emplace_back(new CClient);
        uint16_t port = 0;
        begin(*clients.back(), port);
    };
    beginOne();
    CClient refused;
    expectBusy(refused);
    _controller->config()->set_string("tftp.max_connections_per_client", "2");
    beginOne();
    expectBusy(refused);
    _controller->config()->set_string("tftp.max_connections_per_client", "");
    beginOne();
    EXPECT_EQ(3u, active());
}

TEST_F(TFTPClientLimitTest, ZeroMeansNoLimitAndTheDefaultAllowsABootStorm)
{
    writeFile("two.bin", pattern(700));
    start({{"tftp.max_connections_per_client", "0"}, {"tftp.timeout", "10s"}});
    std::vector<std::unique_ptr<CClient>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.emplace_back(new CClient);
        uint16_t port = 0;
        begin(*clients.back(), port);
    }
    EXPECT_EQ(5u, active());
    stop();

    // The default lets a whole site behind one address boot at once.
    start({{"tftp.timeout", "10s"}});
    clients.clear();
    for (int i = 0; i < 40; ++i) {
        clients.emplace_back(new CClient);
        uint16_t port = 0;
        begin(*clients.back(), port);
    }
    EXPECT_EQ(40u, active());
}

} // namespace
