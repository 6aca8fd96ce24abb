// The engine on loopback, driven by a raw UDP client.
#include "tftp/tftp_server/tftp_server.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "support/tracked_counts.h"

namespace {

using namespace engine_test;

class TFTPServerTest : public CEngineFixture {
protected:
    // Downloads a file of two blocks, acknowledging each one.
    void fetchTwoBlocks(CClient& client, const std::string& name)
    {
        client.send(_requestPort, request(1, name));
        Bytes packet;
        uint16_t port = 0;
        for (uint16_t block = 1; block <= 2; ++block) {
            ASSERT_TRUE(client.recv(packet, 2000, &port));
            client.send(port, ack(block));
        }
    }
};

// ---- downloads -------------------------------------------------------------------

TEST_F(TFTPServerTest, DownloadIgnoresDuplicateAndWrongAcks)
{
    writeFile("f.bin", pattern(1000));
    start();
    CClient client;
    client.send(_requestPort, request(1, "f.bin"));
    Bytes packet;
    uint16_t transferPort = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &transferPort));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ(1, blockOf(packet));
    EXPECT_EQ(pattern(1000).substr(0, 512), packet.substr(4));
    EXPECT_NE(_requestPort, transferPort);

    client.send(transferPort, ack(1));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(2, blockOf(packet));
    EXPECT_EQ(pattern(1000).substr(512), packet.substr(4));

    // A duplicate of the previous acknowledgement and one of a block never
    // sent are discarded: nothing is resent before the timeout (1 s).
    client.send(transferPort, ack(1));
    client.send(transferPort, ack(7));
    EXPECT_FALSE(client.recv(packet, 500));

    client.send(transferPort, ack(2));
    EXPECT_TRUE(waitGone(client, 2000));
    EXPECT_FALSE(client.recv(packet, 200));
}

// The engine polls for the next packet while clients answer within the
// limit and stops polling once they do not.
TEST_F(TFTPServerTest, PollingFollowsHowFastClientsAnswer)
{
    const size_t blocks = 30;
    writeFile("f.bin", pattern(blocks * 512 - 1));
    start({{"tftp.engine.busy_poll", "1ms"}});
    EXPECT_EQ(0, pollBudget());
    auto fetch = [this, blocks](int pauseMs) {
        CClient client;
        client.send(_requestPort, request(1, "f.bin"));
        Bytes packet;
        uint16_t port = 0;
        for (uint16_t block = 1; block <= blocks; ++block) {
            ASSERT_TRUE(client.recv(packet, 2000, &port)) << block;
            ASSERT_EQ(block, blockOf(packet));
            if (pauseMs) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            client.send(port, ack(block));
        }
        ASSERT_TRUE(waitGone(client, 2000));
    };
    // A prompt client answers within a millisecond at least now and then,
    // even on a loaded machine: the engine polls after its transfer.
    for (int attempt = 0; attempt < 10 && pollBudget() == 0; ++attempt) fetch(0);
    EXPECT_GT(pollBudget(), 0);
    // A client that takes 3 ms per block turns polling off within a few.
    fetch(3);
    EXPECT_EQ(0, pollBudget());
}

TEST_F(TFTPServerTest, FileOfWholeBlocksEndsWithEmptyBlock)
{
    writeFile("whole.bin", pattern(1024));
    start();
    CClient client;
    client.send(_requestPort, request(1, "whole.bin"));
    Bytes packet;
    uint16_t port = 0;
    Bytes received;
    for (uint16_t block = 1; block <= 3; ++block) {
        ASSERT_TRUE(client.recv(packet, 2000, &port)) << block;
        ASSERT_EQ(3, opcodeOf(packet));
        ASSERT_EQ(block, blockOf(packet));
        received += packet.substr(4);
        if (block == 3) {
            EXPECT_EQ(4u, packet.size());
        }
        client.send(port, ack(block));
    }
    EXPECT_EQ(pattern(1024), received);
    EXPECT_TRUE(waitGone(client, 2000));
}

TEST_F(TFTPServerTest, OptionsAreAcknowledgedAndBlockZeroStartsTheFile)
{
    writeFile("opt.bin", pattern(3000));
    start();
    CClient client;
    client.send(_requestPort, request(1, "opt.bin", "octet", {{"blksize", "1024"}, {"tsize", "0"}}));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    ASSERT_EQ(6, opcodeOf(packet));
    EXPECT_NE(std::string::npos, packet.find(std::string("blksize\0" "1024\0", 13)));
    EXPECT_NE(std::string::npos, packet.find(std::string("tsize\0" "3000\0", 11)));
    client.send(port, ack(0));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(1, blockOf(packet));
    EXPECT_EQ(pattern(3000).substr(0, 1024), packet.substr(4));
}

TEST_F(TFTPServerTest, SilentClientGetsExactlyTheRetransmissionLimit)
{
    // More than one block: an unacknowledged last block counts as delivered.
    writeFile("s.bin", pattern(2000));
    start({{"tftp.timeout", "100ms"}, {"tftp.max_retransmits", "3"}});
    recordOutcomes();
    CClient client;
    client.send(_requestPort, request(1, "s.bin"));
    Bytes packet;
    int sends = 0;
    // The wait outlasts the gaps between retransmissions many times over,
    // so that a loaded machine cannot end the count early.
    while (client.recv(packet, 2000)) {
        EXPECT_EQ(1, blockOf(packet));
        ++sends;
    }
    EXPECT_EQ(3, sends);
    EXPECT_TRUE(waitGone(client, 1000));
    stop();
    ASSERT_FALSE(_outcomes.empty());
    EXPECT_EQ("max_rx", _outcomes.back().message);
}

TEST_F(TFTPServerTest, ErrorFromClientEndsTheTransfer)
{
    writeFile("e.bin", pattern(5000));
    start();
    CClient client;
    client.send(_requestPort, request(1, "e.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    client.send(port, error(0, "user cancelled"));
    EXPECT_TRUE(waitGone(client, 1000));
    EXPECT_FALSE(client.recv(packet, 1500));
}

TEST_F(TFTPServerTest, SecondRequestFromSameEndpointSupersedesTheFirst)
{
    writeFile("one.bin", Bytes(2000, '1'));
    writeFile("two.bin", Bytes(2000, '2'));
    start();
    CClient client;
    client.send(_requestPort, request(1, "one.bin"));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    CState first;
    ASSERT_TRUE(transfer(client, first));

    client.send(_requestPort, request(1, "two.bin"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(1, blockOf(packet));
    EXPECT_EQ(Bytes(512, '2'), packet.substr(4));
    CState second;
    ASSERT_TRUE(transfer(client, second));
    EXPECT_GT(second.transferID, first.transferID);
    EXPECT_NE(std::string::npos, second.fqpn.find("two.bin"));
}

TEST_F(TFTPServerTest, EveryTransferReportsItsOutcomeInItsCompleteEvents)
{
    // A superseded transfer and a finished one: each reports its end (the
    // pass that completes a transfer and the scheduler dropping it both
    // publish the final state), always with the transfer's one outcome.
    writeFile("one.bin", Bytes(2000, '1'));
    writeFile("two.bin", Bytes(2000, '2'));
    start();
    recordOutcomes();
    CClient client;
    client.send(_requestPort, request(1, "one.bin"));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    client.send(_requestPort, request(1, "two.bin"));
    uint16_t port = 0;
    for (uint16_t block = 1; block <= 4; ++block) {
        ASSERT_TRUE(client.recv(packet, 2000, &port));
        ASSERT_EQ(block, blockOf(packet));
        client.send(port, ack(block));
    }
    EXPECT_TRUE(waitGone(client, 1000));
    stop();
    std::map<unsigned int, std::set<std::string>> outcomeOf;
    for (const CState& state : _outcomes) outcomeOf[state.transferID].insert(state.message);
    ASSERT_EQ(2u, outcomeOf.size());
    EXPECT_EQ(std::set<std::string>{"aborted"}, outcomeOf.begin()->second);
    EXPECT_EQ(std::set<std::string>{"success"}, outcomeOf.rbegin()->second);
}

TEST_F(TFTPServerTest, CancelSendsTransferAborted)
{
    writeFile("c.bin", pattern(5000));
    start({{"tftp.timeout", "200ms"}});
    CClient client;
    client.send(_requestPort, request(1, "c.bin"));
    Bytes packet;
    ASSERT_TRUE(client.recv(packet, 2000));
    CState state;
    ASSERT_TRUE(transfer(client, state));
    _controller->cancelTransfer(static_cast<unsigned>(state.transferID));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(0, blockOf(packet));
    EXPECT_EQ("Transfer aborted", errorText(packet));
    EXPECT_TRUE(waitGone(client, 1000));
}

// ---- uploads ---------------------------------------------------------------------

TEST_F(TFTPServerTest, UploadReacksRepeatedDataAndCountsIt)
{
    start();
    CClient client;
    client.send(_requestPort, request(2, "up.bin"));
    Bytes packet;
    uint16_t port = 0;
    ASSERT_TRUE(client.recv(packet, 2000, &port));
    EXPECT_EQ(4, opcodeOf(packet));
    EXPECT_EQ(0, blockOf(packet));

    const Bytes content = pattern(700);
    client.send(port, data(1, content.substr(0, 512)));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(1), packet);
    client.send(port, data(1, content.substr(0, 512)));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(1), packet);
    CState state;
    ASSERT_TRUE(transfer(client, state));
    EXPECT_EQ(1u, state.retransmits);

    client.send(port, data(2, content.substr(512)));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(ack(2), packet);
    EXPECT_TRUE(waitGone(client, 3000));
    EXPECT_EQ(content, readFile("up.bin"));
}

TEST_F(TFTPServerTest, AbandonedUploadIsGivenUpByItsManagerAndNothingElseIsTouched)
{
    writeFile("old.bin", "previous content");
    start({{"tftp.timeout", "100ms"}, {"tftp.max_retransmits", "3"}, {"tftp.overwrite.allow", "true"}});
    for (const std::string name : {"new.bin", "old.bin"}) {
        CClient client;
        client.send(_requestPort, request(2, name));
        Bytes packet;
        uint16_t port = 0;
        ASSERT_TRUE(client.recv(packet, 2000, &port));
        client.send(port, data(1, pattern(512)));
        int acks = 0;
        while (client.recv(packet, 600)) {
            if (packet == ack(1)) ++acks;
        }
        EXPECT_EQ(3, acks) << name;
        EXPECT_TRUE(waitGone(client, 1000));
    }
    // The manager was told to give both uploads up: no new file, the old
    // one as it was, no partial file left beside either.
    EXPECT_FALSE(exists("new.bin"));
    EXPECT_EQ("previous content", readFile("old.bin"));
    EXPECT_FALSE(exists("new.bin.part"));
    EXPECT_FALSE(exists("old.bin.part"));
}

// ---- the request port -------------------------------------------------------------

TEST_F(TFTPServerTest, RequestPortScreensDatagrams)
{
    writeFile("f.bin", "x");
    start();
    CClient client;
    Bytes packet;

    client.send(_requestPort, "query_ping");
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ("pong", packet);

    client.send(_requestPort, word(1));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(0, blockOf(packet));
    EXPECT_EQ("Malformed packet.", errorText(packet));

    client.send(_requestPort, data(1, "abc"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(4, blockOf(packet));
    EXPECT_EQ("Invalid opcode.", errorText(packet));

    client.send(_requestPort, request(1, "../etc/passwd"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(1, blockOf(packet));
    EXPECT_EQ("Invalid file name.", errorText(packet));

    client.send(_requestPort, request(1, "missing.bin"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ(1, blockOf(packet));

    CState state;
    EXPECT_FALSE(transfer(client, state));
}

TEST_F(TFTPServerTest, AccessDeniedByPolicy)
{
    writeFile("f.bin", "x");
    start({{"tftp.access.allow", "false"}});
    CClient client;
    Bytes packet;
    client.send(_requestPort, request(1, "f.bin"));
    ASSERT_TRUE(client.recv(packet, 2000));
    EXPECT_EQ(2, blockOf(packet));
    EXPECT_EQ("Access denied (not authorized).", errorText(packet));
}

// The configured rules are expressions evaluated per request: the root is
// chosen by the requested name, access refuses by name, and the
// pre-processor rewrites the request before the file is opened. The root is
// chosen from the name as requested; the later rules see it normalised
// against the root, with its leading "/". ($IF
// evaluates both of its branches as arguments; only "?:" skips one, so the
// renaming rule uses it.)
TEST_F(TFTPServerTest, ExpressionsDecideEachRequest)
{
    ASSERT_EQ(0, ::mkdir((_root + "/cm").c_str(), 0755));
    ASSERT_EQ(0, ::mkdir((_root + "/other").c_str(), 0755));
    std::ofstream(_root + "/cm/cm-a.cfg") << "modem";
    std::ofstream(_root + "/other/phone.cfg") << "phone";
    std::ofstream(_root + "/other/renamed.cfg") << "rewritten";
    start({{"tftp.virtual_root",
            "[$IF($STARTSWITH($FILE.NAME(), \"cm\"), \"" + _root + "/cm\", \"" + _root + "/other\")]"},
           {"tftp.access.allow", "[!($STARTSWITH($FILE.NAME(), \"/secret\"))]"},
           {"tftp.preprocessor", "[($FILE.NAME() == \"/old.cfg\") ? ($FILE.NAME(\"renamed.cfg\")) : ($FILE.NAME())]"}});

    const auto fetch = [this](const std::string& name, Bytes& packet) {
        CClient client;
        client.send(_requestPort, request(1, name));
        return client.recv(packet, 2000);
    };
    Bytes packet;
    ASSERT_TRUE(fetch("cm-a.cfg", packet));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ("modem", packet.substr(4));
    ASSERT_TRUE(fetch("phone.cfg", packet));
    EXPECT_EQ("phone", packet.substr(4));
    ASSERT_TRUE(fetch("secret.cfg", packet));
    EXPECT_EQ(5, opcodeOf(packet));
    EXPECT_EQ("Access denied (not authorized).", errorText(packet));
    ASSERT_TRUE(fetch("old.cfg", packet));
    EXPECT_EQ(3, opcodeOf(packet));
    EXPECT_EQ("rewritten", packet.substr(4));
}

TEST_F(TFTPServerTest, PausedEngineAndConnectionLimitStaySilent)
{
    writeFile("f.bin", pattern(2000));
    start({{"tftp.max_connections", "1"}});
    Bytes packet;

    _controller->pause();
    CClient paused;
    paused.send(_requestPort, request(1, "f.bin"));
    EXPECT_FALSE(paused.recv(packet, 500));
    // A one-byte datagram right after the ignored request: no byte of that
    // request is read as its second opcode byte, so it is refused as an
    // invalid opcode rather than ignored as another read request.
    paused.send(_requestPort, std::string(1, '\0'));
    ASSERT_TRUE(paused.recv(packet, 2000));
    EXPECT_EQ("Invalid opcode.", errorText(packet));
    _controller->resume();

    CClient first;
    first.send(_requestPort, request(1, "f.bin"));
    ASSERT_TRUE(first.recv(packet, 2000));
    CClient second;
    second.send(_requestPort, request(1, "f.bin"));
    EXPECT_FALSE(second.recv(packet, 500));
}

TEST(TFTPEngineStartTest, MissingVirtualRootStopsTheStart)
{
    CTestFactory factory;
    test_support::TempDir var;
    CTFTPController controller("zelvo-test");
    controller.addFDManagerFactory(&factory);
    controller.config()->set_string("system.storage.path", var.path());
    controller.config()->set_string("system.log.levels", "error");
    controller.config()->set_string("tftp.engine.listen_on", "127.0.0.1");
    controller.config()->set_string("tftp.engine.port", "0");
    try {
        controller.init();
        FAIL() << "init() accepted a configuration without a virtual root";
    } catch (const osk::CException& e) {
        EXPECT_EQ("Cannot read configuration file.", e.whatMsg().formatted());
        EXPECT_EQ("No virtual root path defined. (virtual_root=xxx)", e.whyMsg().formatted());
    }
}

TEST(TFTPEngineStartTest, NoDescriptorManagerStopsTheStart)
{
    test_support::TempDir var;
    CTFTPController controller("zelvo-test");
    controller.config()->set_string("system.storage.path", var.path());
    controller.config()->set_string("system.log.levels", "error");
    controller.config()->set_string("tftp.virtual_root", "/tmp");
    try {
        controller.init();
        FAIL() << "init() started without a descriptor manager";
    } catch (const osk::CException& e) {
        EXPECT_EQ("No plugins support the descriptor manager interface.", e.whatMsg().formatted());
    }
}


// ---- transfer events ---------------------------------------------------------------

// Keeps every event the engine hands to the UDP publisher.
class CRecordingPublisher : public CIUDPPublisher {
public:
    void publish(const osk::CAppEventPtr& event, uint32_t transferID) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _events.push_back(event);
        _ids.push_back(transferID);
    }
    void subscribe(const osk::CEndpoint&, const std::string&, const std::string&) override {}
    void unsubscribe(const osk::CEndpoint&) override {}
    void archiveCount(osk::CStringMap&) const override {}
    void clearArchive() override {}
    std::vector<osk::CAppEventPtr> events() const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _events;
    }
    std::vector<uint32_t> ids() const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        return _ids;
    }

private:
    mutable std::mutex _mutex;
    std::vector<osk::CAppEventPtr> _events;
    std::vector<uint32_t> _ids;
};

TEST_F(TFTPServerTest, EveryPassIsPublishedAndTheLastEventIsTheCompletedTransfer)
{
    auto* recorder = new CRecordingPublisher;
    _udp = CIUDPPublisherFactory::publisher_ptr(recorder);
    writeFile("ev.bin", pattern(700));
    start();
    CClient client;
    fetchTwoBlocks(client, "ev.bin");
    EXPECT_TRUE(waitGone(client, 2000));
    stop();
    const auto events = recorder->events();
    ASSERT_GE(events.size(), 3u);
    std::vector<std::string> states;
    for (size_t i = 0; i < events.size(); ++i) {
        const CStateEvent* event = CStateEvent::pointee(events[i]);
        ASSERT_NE(nullptr, event);
        EXPECT_EQ(event->state()->transferID, recorder->ids()[i]);
        EXPECT_EQ(recorder->ids()[0], recorder->ids()[i]);
        if (i) {
            EXPECT_LT(events[i - 1]->sequence(), events[i]->sequence());
        }
        states.push_back(event->state()->state_string());
    }
    EXPECT_EQ("need_ack", states.front());
    osk::CStringMap last;
    events.back()->sm(last);
    EXPECT_EQ("complete", last.get_string("state"));
    EXPECT_EQ("success", last.get_string("status"));
    EXPECT_EQ("transmit", last.get_string("operation"));
    EXPECT_EQ("0", last.get_string("fd"));
    EXPECT_EQ(_root + "/ev.bin", last.get_string("file"));
}

// What the console's memory tracking shows of the engine's events: every
// event and state snapshot of a pass is listed while a subscriber holds it,
// and both leave with the last holder.
TEST_F(TFTPServerTest, PublishedEventsAreTrackedUntilTheirLastHolderLetsGo)
{
    const test_support::CTrackingOn tracking;
    auto* recorder = new CRecordingPublisher;
    _udp = CIUDPPublisherFactory::publisher_ptr(recorder);
    writeFile("tracked.bin", pattern(700));
    start();
    CClient client;
    fetchTwoBlocks(client, "tracked.bin");
    EXPECT_TRUE(waitGone(client, 2000));
    stop();
    const size_t published = recorder->events().size();
    ASSERT_GE(published, 3u);
    EXPECT_EQ(published, test_support::allocatedEntries<CStateEvent>());
    EXPECT_EQ(published, test_support::liveTracked<CState>());
    _udp = CIUDPPublisherFactory::publisher_ptr();
    EXPECT_EQ(0u, test_support::liveTracked<CStateEvent>());
    EXPECT_EQ(0u, test_support::liveTracked<CState>());
    EXPECT_EQ(0u, test_support::untrackedEntries<CState>() + test_support::untrackedEntries<CStateEvent>());
}

TEST_F(TFTPServerTest, NobodyListeningMeansNoEventIsBuilt)
{
    writeFile("quiet.bin", pattern(700));
    start();
    ASSERT_FALSE(_controller->udpPublisher());
    ASSERT_FALSE(_controller->eventPublisher()->hasSubscribers());
    const int64_t before = osk::CAppEvent(0, osk::CAppEvent::control, "test", 0).sequence();
    CClient client;
    fetchTwoBlocks(client, "quiet.bin");
    EXPECT_TRUE(waitGone(client, 2000));
    // Sequence numbers are drawn by every event built: none was.
    EXPECT_EQ(before + 1, osk::CAppEvent(0, osk::CAppEvent::control, "test", 0).sequence());
}

// ---- log entries ---------------------------------------------------------------

// Records every entry handed to the controller's log, before the configured
// levels filter it.
class CRecordingController : public CTFTPController {
public:
    using CTFTPController::CTFTPController;
    // The log thread calls into the controller until the log stops: it stops
    // before this class's part of the object goes.
    ~CRecordingController() override { stopLog(); }
    void syslog(uint32_t severity, const osk::CMessage& message, int errCode = 0) override
    {
        {
            std::lock_guard<std::mutex> lock(_lock);
            _entries.emplace_back(severity, message.formatted());
        }
        CTFTPController::syslog(severity, message, errCode);
    }
    // The texts of the entries of these severities made so far.
    std::vector<std::string> texts(uint32_t severities) const
    {
        std::lock_guard<std::mutex> lock(_lock);
        std::vector<std::string> out;
        for (const auto& entry : _entries)
            if (entry.first & severities) out.push_back(entry.second);
        return out;
    }

private:
    mutable std::mutex _lock;
    std::vector<std::pair<uint32_t, std::string>> _entries;
};

class TFTPServerLogTest : public TFTPServerTest {
protected:
    CTFTPController* _newController() override { return _recording = new CRecordingController("zelvo-test"); }
    // A download of two blocks with a duplicate acknowledgement in between:
    // entries of the debug and audit levels on the way.
    void downloadWithDuplicateAck()
    {
        writeFile("f.bin", pattern(700));
        CClient client;
        client.send(_requestPort, request(1, "f.bin"));
        Bytes packet;
        uint16_t port = 0;
        ASSERT_TRUE(client.recv(packet, 2000, &port));
        client.send(port, ack(1));
        ASSERT_TRUE(client.recv(packet, 2000));
        client.send(port, ack(1));
        client.send(port, ack(2));
        EXPECT_TRUE(waitGone(client, 2000));
    }
    static bool anyContains(const std::vector<std::string>& texts, const std::string& part)
    {
        for (const std::string& text : texts)
            if (text.find(part) != std::string::npos) return true;
        return false;
    }

    CRecordingController* _recording = nullptr;
};

TEST_F(TFTPServerLogTest, EntriesBelowTheLogLevelAreNeverMade)
{
    start({{"system.log.levels", "error"}});
    downloadWithDuplicateAck();
    EXPECT_EQ(std::vector<std::string>(),
              _recording->texts(osk::CException::debug | osk::CException::audit | osk::CException::verbose));
}

TEST_F(TFTPServerLogTest, EntriesAtTheLogLevelAreMade)
{
    start({{"system.log.levels", "error,debug,audit"}});
    downloadWithDuplicateAck();
    const std::vector<std::string> debug = _recording->texts(osk::CException::debug);
    EXPECT_TRUE(anyContains(debug, "starting download binary of file")) << debug.size();
    EXPECT_TRUE(anyContains(debug, "acked for block 1, but I was expecting block 2"));
    EXPECT_TRUE(anyContains(_recording->texts(osk::CException::audit), "successfully downloaded file"));
}

} // namespace
