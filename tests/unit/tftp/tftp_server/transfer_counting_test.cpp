// The engine's counters against real transfers on loopback: each outcome,
// bytes moved each block once, retransmissions, requests and running
// transfers, and the file system a transfer counts under.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "engine_fixture.h"
#include "tftp/tftp_interfaces/transfer_statistics.h"

namespace {

using namespace engine_test;
using Counts = CTransferStatistics::CCounts;

class TransferCountingTest : public CEngineFixture {
protected:
    Counts counts(const std::string& fileSystem = "file")
    {
        const CTransferStatistics::CSnapshot snapshot =
            _controller->transferStatistics().snapshot(CTransferStatistics::steadySeconds());
        for (const auto& entry : snapshot.fileSystems)
            if (entry.first == fileSystem) return entry.second;
        ADD_FAILURE() << "no file system " << fileSystem;
        return Counts();
    }
    uint64_t outcome(CTransferStatistics::outcome_t which, const std::string& fileSystem = "file")
    {
        return counts(fileSystem).outcomes[which];
    }
    // Waits until the running transfers of the local file system are over.
    bool settled(int ms = 3000)
    {
        for (int i = 0; i < ms / 10; ++i) {
            if (active() == 0 && counts().active == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Downloads name acknowledging every block; the bytes received.
    Bytes download(CClient& client, const std::string& name)
    {
        client.send(_requestPort, request(1, name));
        Bytes packet, content;
        uint16_t port = 0;
        while (client.recv(packet, 2000, &port) && opcodeOf(packet) == 3) {
            content += packet.substr(4);
            client.send(port, ack(blockOf(packet)));
            if (packet.size() < 4 + 512) break;
        }
        return content;
    }
};

TEST_F(TransferCountingTest, DownloadCountsItsBytesOnceAndOneSuccess)
{
    writeFile("d.bin", pattern(1300));
    start();
    CClient client;
    EXPECT_EQ(pattern(1300), download(client, "d.bin"));
    ASSERT_TRUE(settled());
    const Counts c = counts();
    EXPECT_EQ(1u, c.outcomes[CTransferStatistics::success]);
    EXPECT_EQ(1u, c.requests);
    EXPECT_EQ(1300u, c.bytesSent);
    EXPECT_EQ(0u, c.bytesReceived);
    EXPECT_EQ(0u, c.retransmissions);
    EXPECT_EQ(1u, c.transfers());
}

TEST_F(TransferCountingTest, RepeatedBlockIsARetransmissionNotNewBytes)
{
    writeFile("r.bin", pattern(700));
    start({{"tftp.timeout", "100ms"}});
    CClient client;
    client.send(_requestPort, request(1, "r.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    // Block 1 is left unanswered once, so the engine sends it again.
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    EXPECT_EQ(1, blockOf(packet));
    client.send(port, ack(1));
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    client.send(port, ack(2));
    ASSERT_TRUE(settled());
    const Counts c = counts();
    EXPECT_EQ(700u, c.bytesSent);
    EXPECT_GE(c.retransmissions, 1u);
    EXPECT_EQ(1u, c.outcomes[CTransferStatistics::success]);
}

TEST_F(TransferCountingTest, UploadCountsBytesReceived)
{
    start({{"tftp.overwrite.allow", "true"}});
    CClient client;
    client.send(_requestPort, request(2, "u.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    client.send(port, data(1, pattern(512)));
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    client.send(port, data(2, "tail"));
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    EXPECT_EQ(2, blockOf(packet));
    // The upload ends once its last acknowledgement stood for a timeout.
    ASSERT_TRUE(settled(5000));
    const Counts c = counts();
    EXPECT_EQ(516u, c.bytesReceived);
    EXPECT_EQ(0u, c.bytesSent);
    EXPECT_EQ(1u, c.outcomes[CTransferStatistics::success]);
}

TEST_F(TransferCountingTest, SilentClientIsATimeoutOneThatStopsIsMaxRx)
{
    writeFile("s.bin", pattern(2000));
    start({{"tftp.timeout", "100ms"}, {"tftp.max_retransmits", "2"}});
    CClient never;
    never.send(_requestPort, request(1, "s.bin"));
    CClient stops;
    stops.send(_requestPort, request(1, "s.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(stops.recv(packet, 2000, &port));
    stops.send(port, ack(1));
    ASSERT_TRUE(settled(5000));
    EXPECT_EQ(1u, outcome(CTransferStatistics::timeout));
    EXPECT_EQ(1u, outcome(CTransferStatistics::max_rx));
    EXPECT_EQ(0u, outcome(CTransferStatistics::success));
    EXPECT_EQ(2u, counts().retransmissions);
}

TEST_F(TransferCountingTest, RefusalsStartNothing)
{
    start({{"tftp.access.allow", "[!($STARTSWITH($FILE.NAME(), \"/secret\"))]"}});
    writeFile("secret.bin", "x");
    CClient missing, denied;
    Bytes packet;
    missing.send(_requestPort, request(1, "missing.bin"));
    ASSERT_TRUE(missing.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    denied.send(_requestPort, request(1, "secret.bin"));
    ASSERT_TRUE(denied.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    const Counts c = counts();
    EXPECT_EQ(2u, c.outcomes[CTransferStatistics::refused]);
    EXPECT_EQ(2u, c.requests);
    EXPECT_EQ(0u, c.transfers());
    EXPECT_EQ(0u, c.active);
}

TEST_F(TransferCountingTest, LimitRefusalCountsBeforeAnyFileSystem)
{
    writeFile("l.bin", pattern(2000));
    start({{"tftp.max_connections_per_client", "1"}});
    CClient first, second;
    Bytes packet;
    first.send(_requestPort, request(1, "l.bin"));
    ASSERT_TRUE(first.recv(packet, 2000));
    second.send(_requestPort, request(1, "l.bin"));
    ASSERT_TRUE(second.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(1u, outcome(CTransferStatistics::refused, CTransferStatistics::unresolvedFileSystem()));
    EXPECT_EQ(1u, counts(CTransferStatistics::unresolvedFileSystem()).requests);
    EXPECT_EQ(0u, outcome(CTransferStatistics::refused));
    EXPECT_EQ(1u, counts().active);
}

TEST_F(TransferCountingTest, ClientErrorCancelAndReplacementAreAborts)
{
    writeFile("a.bin", pattern(5000));
    start();
    Bytes packet;
    uint16_t port = 0;

    CClient gaveUp;
    gaveUp.send(_requestPort, request(1, "a.bin"));
    ASSERT_TRUE(gaveUp.recv(packet, 2000, &port));
    gaveUp.send(port, error(0, "user cancelled"));

    CClient cancelled;
    cancelled.send(_requestPort, request(1, "a.bin"));
    ASSERT_TRUE(cancelled.recv(packet, 2000, &port));
    CState state;
    ASSERT_TRUE(transfer(cancelled, state));
    EXPECT_TRUE(_controller->cancelTransfer(static_cast<unsigned>(state.transferID)));

    CClient replaced;
    replaced.send(_requestPort, request(1, "a.bin"));
    ASSERT_TRUE(replaced.recv(packet, 2000, &port));
    writeFile("b.bin", "b");
    replaced.send(_requestPort, request(1, "b.bin"));
    ASSERT_TRUE(replaced.recv(packet, 2000, &port));
    replaced.send(port, ack(1));

    ASSERT_TRUE(waitGone(gaveUp, 2000));
    ASSERT_TRUE(settled());
    EXPECT_EQ(3u, outcome(CTransferStatistics::aborted));
    EXPECT_EQ(1u, outcome(CTransferStatistics::success));
    EXPECT_EQ(0u, outcome(CTransferStatistics::error));
    EXPECT_EQ(4u, counts().requests);
}

TEST_F(TransferCountingTest, ErrorSentByTheServerIsAnError)
{
    writeFile("w.bin", pattern(2000));
    start();
    CClient client;
    client.send(_requestPort, request(1, "w.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    // DATA on a download ends it with "invalid opcode".
    client.send(port, data(1, "x"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    ASSERT_TRUE(settled());
    EXPECT_EQ(1u, outcome(CTransferStatistics::error));
    EXPECT_EQ(0u, outcome(CTransferStatistics::aborted));
}

TEST_F(TransferCountingTest, TransfersCountUnderTheirVirtualFileSystem)
{
    writeFile("x", "plain");
    CTestFactory vfs("vfs");
    _extraFactories.push_back(&vfs);
    start();
    CClient viaVfs, viaFile;
    EXPECT_EQ("plain", download(viaVfs, "/vfs/x"));
    EXPECT_EQ("plain", download(viaFile, "/x"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(1u, outcome(CTransferStatistics::success, "vfs"));
    EXPECT_EQ(5u, counts("vfs").bytesSent);
    EXPECT_EQ(1u, outcome(CTransferStatistics::success));
    EXPECT_EQ(0u, counts(CTransferStatistics::unresolvedFileSystem()).requests);
}

TEST_F(TransferCountingTest, RunningTransferIsActiveUntilItEnds)
{
    writeFile("big.bin", pattern(3000));
    start();
    CClient client;
    client.send(_requestPort, request(1, "big.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    EXPECT_EQ(1u, counts().active);
    client.send(port, error(0, "done"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(0u, counts().active);
}

} // namespace
