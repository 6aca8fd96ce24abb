#include "standard/sock_stream.h"

#include <gtest/gtest.h>

#include <ace/INET_Addr.h>
#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Connector.h>
#include <ace/Time_Value.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "extended/exception.h"
#include "support/thrown.h"

namespace {

using test_support::thrown;

using osk::CEndpoint;
using osk::CIPAddress;
using osk::CSockStream;

void shrinkBuffers(ACE_HANDLE handle)
{
    const int size = 64 * 1024;
    setsockopt(handle, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
}

// A listener on 127.0.0.1 with a free port, and a client connected to it.
class SockStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, _acceptor.open(CEndpoint(CIPAddress("127.0.0.1"), 0).ace_addr(), 1, AF_INET));
        ACE_INET_Addr bound;
        ASSERT_EQ(0, _acceptor.get_local_addr(bound));
        _listenAt = CEndpoint(bound);
    }
    void TearDown() override { _acceptor.close(); }

    void connect(CSockStream& client)
    {
        ACE_SOCK_Connector connector;
        ASSERT_EQ(0, connector.connect(client.ace_stream(), _listenAt.ace_addr()));
    }

    ACE_SOCK_Acceptor _acceptor;
    CEndpoint _listenAt;
};

TEST_F(SockStreamTest, SendBlockedDeliversAWholeMebibyteToASlowReader)
{
    const size_t total = 1024 * 1024;
    std::vector<uint8_t> payload(total);
    for (size_t i = 0; i < total; ++i) payload[i] = static_cast<uint8_t>(i * 7 + (i >> 12));

    std::vector<uint8_t> received;
    std::thread reader([&] {
        ACE_SOCK_Stream peer;
        if (_acceptor.accept(peer) != 0) return;
        shrinkBuffers(peer.get_handle());
        std::vector<uint8_t> chunk(16384);
        for (;;) {
            const ssize_t got = peer.recv(chunk.data(), chunk.size());
            if (got <= 0) break;
            received.insert(received.end(), chunk.begin(), chunk.begin() + got);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        peer.close();
    });

    CSockStream client;
    connect(client);
    shrinkBuffers(client.get_handle());
    // Non-blocking, so the sender meets full buffers and must wait.
    ASSERT_EQ(0, client.ace_stream().enable(ACE_NONBLOCK));
    EXPECT_EQ(CIPAddress("127.0.0.1"), client.remote_endpoint().ip_address());
    EXPECT_EQ(_listenAt.hbo_port(), client.remote_endpoint().hbo_port());
    client.send_blocked(payload.data(), payload.size());
    client.close();
    reader.join();
    ASSERT_EQ(total, received.size());
    EXPECT_TRUE(payload == received);
}

TEST_F(SockStreamTest, EchoThroughThinCalls)
{
    std::thread echo([&] {
        ACE_SOCK_Stream peer;
        if (_acceptor.accept(peer) != 0) return;
        char buffer[5];
        if (peer.recv_n(buffer, sizeof(buffer)) == 5) peer.send_n(buffer, sizeof(buffer));
        peer.close();
    });
    CSockStream client;
    connect(client);
    client.send_blocked("hello", 5);
    char buffer[5] = {};
    const ACE_Time_Value wait(5);
    ASSERT_EQ(5, client.recv_n(buffer, sizeof(buffer), &wait));
    EXPECT_EQ(std::string("hello"), std::string(buffer, 5));
    EXPECT_EQ(0, client.recv(buffer, sizeof(buffer), &wait));
    echo.join();
}

TEST_F(SockStreamTest, SendAtOnceTurnsOffTheHoldingBackOfSmallWrites)
{
    auto noDelay = [](ACE_HANDLE handle) {
        int value = -1;
        socklen_t length = sizeof(value);
        EXPECT_EQ(0, getsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &value, &length));
        return value != 0;
    };
    CSockStream client;
    connect(client);
    ACE_SOCK_Stream accepted;
    ASSERT_EQ(0, _acceptor.accept(accepted));
    EXPECT_FALSE(noDelay(accepted.get_handle())) << "a new connection holds small writes back";
    EXPECT_TRUE(CSockStream::sendAtOnce(accepted.get_handle()));
    EXPECT_TRUE(noDelay(accepted.get_handle()));
    EXPECT_FALSE(noDelay(client.get_handle())) << "only the given socket changes";
    accepted.close();
    // Not a TCP socket: refused, with the reason in errno.
    EXPECT_FALSE(CSockStream::sendAtOnce(ACE_INVALID_HANDLE));
    EXPECT_EQ(EBADF, errno);
}

TEST_F(SockStreamTest, FailuresThrow)
{
    CSockStream closed;
    EXPECT_EQ("Invalid handle.", thrown([&] { closed.send_blocked("x", 1); }).whatMsg().formatted());

    std::thread closer([&] {
        ACE_SOCK_Stream peer;
        if (_acceptor.accept(peer) != 0) return;
        peer.close();
    });
    CSockStream client;
    connect(client);
    closer.join();
    // The peer is gone: the first sends may still be buffered, then the
    // reset comes back as a failure (not as SIGPIPE).
    const std::vector<char> block(64 * 1024, 'z');
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) {
        try {
            client.send_blocked(block.data(), block.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } catch (const osk::CException& e) {
            failed = true;
            EXPECT_EQ("Cannot transmit buffer.", e.whatMsg().formatted());
            EXPECT_NE(0, e.err_code());
        }
    }
    EXPECT_TRUE(failed);
}

} // namespace
