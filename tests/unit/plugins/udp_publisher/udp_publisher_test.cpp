// The UDP event publisher against a real UDP listener on loopback.
#include "udp_publisher/udp_publisher.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "standard/string_map.h"
#include "support/temp_dir.h"
#include "tftp/tftp_server/state_event.h"
#include "udp_publisher/udp_publisher_plugin.h"
#include "udp_publisher/udp_subscriber.h"
#include "unit/extended/test_controller.h"

namespace {

using udppub::CUDPPublisher;
using udppub::CUDPSubscriber;

// A UDP socket on 127.0.0.1 with a system-chosen port.
class CListener {
public:
    CListener()
    {
        _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(_fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
        socklen_t length = sizeof(local);
        ::getsockname(_fd, reinterpret_cast<sockaddr*>(&local), &length);
        _port = ntohs(local.sin_port);
    }
    ~CListener() { ::close(_fd); }
    osk::CEndpoint endpoint() const { return osk::CEndpoint("127.0.0.1:" + std::to_string(_port)); }

    // The next datagram within ms; empty when none came.
    std::string next(int ms = 3000)
    {
        pollfd entry{_fd, POLLIN, 0};
        if (::poll(&entry, 1, ms) <= 0) return std::string();
        char buffer[65536];
        const ssize_t n = ::recv(_fd, buffer, sizeof(buffer), 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    int _fd;
    uint16_t _port = 0;
};

osk::CAppEventPtr transferEvent(uint64_t id, const std::string& status = "success")
{
    CState* state = new CState(id, CState::complete, osk::CEndpoint("10.0.0.9:1234"), 1000000, 512);
    state->fqpn = "/srv/f" + std::to_string(id);
    state->message = status;
    return osk::CAppEventPtr(new CStateEvent(3, state));
}

osk::CStringMap record(const std::string& datagram) { return osk::CStringMap(datagram, "\n", 0); }

CUDPPublisher::settings_t immediate(size_t history = 1000)
{
    CUDPPublisher::settings_t settings;
    settings.maxHistory = history;
    settings.latencyUsec = 0;
    return settings;
}

} // namespace

TEST(UDPSubscriber, LinesOfTheSubscriberFile)
{
    const CUDPSubscriber full = CUDPSubscriber::parseLine("  10.0.0.5:9000 tag=lab class=transfer,config ");
    EXPECT_EQ("10.0.0.5:9000", full.endpoint().string());
    EXPECT_EQ("lab", full.tag());
    EXPECT_TRUE(full.wants("config"));
    EXPECT_FALSE(full.wants("subscription"));
    const CUDPSubscriber v6 = CUDPSubscriber::parseLine("[::1]:9001");
    EXPECT_EQ(9001, v6.endpoint().hbo_port());
    EXPECT_TRUE(v6.wants("anything"));
    EXPECT_TRUE(CUDPSubscriber::parseLine("10.0.0.5:1 class=*").wants("x"));
    for (const char* bad : {"", "10.0.0.5", "10.0.0.5:0", "nonsense:12", "10.0.0.5:9000 colour=red"})
        EXPECT_THROW(CUDPSubscriber::parseLine(bad), osk::CException) << bad;
}

TEST(UDPPublisher, EachEventIsOneDatagramPerSubscriberWithTagAndTextForm)
{
    CListener first;
    CListener second;
    CUDPPublisher publisher(nullptr, immediate());
    publisher.start();
    publisher.subscribe(first.endpoint(), "alpha", "");
    publisher.subscribe(second.endpoint(), "", "transfer");

    const osk::CAppEventPtr event = transferEvent(11);
    publisher.publish(event, 11);
    const std::string one = first.next();
    EXPECT_EQ("tag=alpha\n" + event->string(), one);
    EXPECT_EQ(event->string(), second.next());
    const osk::CStringMap fields = record(one);
    EXPECT_EQ("complete", fields.get_string("state"));
    EXPECT_EQ("success", fields.get_string("status"));
    EXPECT_EQ("11", fields.get_string("id"));

    // The class filter: a config event reaches only the unfiltered one.
    publisher.publish(osk::CAppEventPtr(new osk::CAppEvent(0, osk::CAppEvent::control, "config", 0)), 0);
    EXPECT_EQ("config", record(first.next()).get_string("event_class"));
    EXPECT_EQ("", second.next(300));

    publisher.unsubscribe(first.endpoint());
    publisher.publish(transferEvent(12), 12);
    EXPECT_EQ("12", record(second.next()).get_string("id"));
    EXPECT_EQ("", first.next(300));

    osk::CStringMap counts;
    publisher.archiveCount(counts);
    EXPECT_EQ("3", counts.get_string("published"));
    EXPECT_EQ("4", counts.get_string("sent"));
    EXPECT_EQ("1", counts.get_string("subscribers"));
    EXPECT_EQ("0", counts.get_string("dropped"));
}

TEST(UDPPublisher, ANewSubscriberGetsTheArchiveReplayedAndClearingForgetsIt)
{
    CListener early;
    CListener late;
    CUDPPublisher publisher(nullptr, immediate(2));
    publisher.start();
    publisher.subscribe(early.endpoint(), "", "");
    for (uint64_t id = 1; id <= 3; ++id) {
        publisher.publish(transferEvent(id), static_cast<uint32_t>(id));
        EXPECT_EQ(std::to_string(id), record(early.next()).get_string("id"));
    }
    osk::CStringMap counts;
    publisher.archiveCount(counts);
    EXPECT_EQ("2", counts.get_string("archived"));
    EXPECT_EQ("0", counts.get_string("queued"));

    // Only the last two are held; they come marked as replayed.
    publisher.subscribe(late.endpoint(), "late", "");
    const std::string replay2 = late.next();
    EXPECT_EQ(0u, replay2.find("tag=late\nreplay=true\n"));
    EXPECT_EQ("2", record(replay2).get_string("id"));
    EXPECT_EQ("3", record(late.next()).get_string("id"));
    EXPECT_EQ("", late.next(300));

    publisher.clearArchive();
    counts.clear();
    publisher.archiveCount(counts);
    EXPECT_EQ("0", counts.get_string("archived"));
    CListener third;
    publisher.subscribe(third.endpoint(), "", "");
    EXPECT_EQ("", third.next(300));
}

TEST(UDPPublisher, AStalledSenderNeverHoldsUpPublishAndDropsTheOldest)
{
    CListener listener;
    CUDPPublisher publisher(nullptr, immediate(100));
    publisher.start();
    publisher.subscribe(listener.endpoint(), "", "");
    publisher.holdSender(true);
    const uint64_t burst = 10000;
    for (uint64_t id = 1; id <= burst; ++id) publisher.publish(transferEvent(id), static_cast<uint32_t>(id));
    osk::CStringMap counts;
    publisher.archiveCount(counts);
    EXPECT_EQ(std::to_string(burst), counts.get_string("published"));
    EXPECT_EQ("100", counts.get_string("queued"));
    EXPECT_EQ(std::to_string(burst - 100), counts.get_string("dropped"));
    EXPECT_EQ("0", counts.get_string("sent"));

    // Released, the newest hundred go out in order.
    publisher.holdSender(false);
    std::vector<std::string> ids;
    for (std::string datagram = listener.next(); !datagram.empty(); datagram = listener.next(500))
        ids.push_back(record(datagram).get_string("id"));
    ASSERT_EQ(100u, ids.size());
    EXPECT_EQ(std::to_string(burst - 99), ids.front());
    EXPECT_EQ(std::to_string(burst), ids.back());
}

TEST(UDPPublisher, LatencyCollectsEventsAndStopSendsWhatIsQueued)
{
    CListener listener;
    CUDPPublisher::settings_t settings;
    settings.latencyUsec = 3600ULL * 1000000; // an hour: only stop() flushes
    CUDPPublisher publisher(nullptr, settings);
    publisher.start();
    publisher.subscribe(listener.endpoint(), "", "");
    publisher.publish(transferEvent(5), 5);
    EXPECT_EQ("", listener.next(300));
    publisher.stop();
    EXPECT_EQ("5", record(listener.next()).get_string("id"));
}

TEST(UDPPublisher, SubscribersFromAFileSkipBadLines)
{
    zelvo_test::CTestController controller;
    CListener listener;
    const test_support::TempDir dir;
    const std::string path = dir / "subscribers";
    test_support::writeFile(path, "# monitoring\n\n" + listener.endpoint().string() + " tag=file\nbroken line\n");
    CUDPPublisher publisher(&controller, immediate());
    EXPECT_EQ(1u, publisher.loadSubscribers(path));
    EXPECT_EQ(1u, controller.countContaining("Skipping line 4 of the UDP subscriber file"));
    EXPECT_EQ(0u, publisher.loadSubscribers(dir / "missing"));
    EXPECT_EQ(1u, controller.countContaining("Cannot read the UDP subscriber file"));
    publisher.start();
    publisher.publish(transferEvent(8), 8);
    EXPECT_EQ(0u, listener.next().find("tag=file\n"));
    EXPECT_THROW(publisher.subscribe(osk::CEndpoint(), "", ""), osk::CException);
}

TEST(UDPPublisherPlugin, OffersTheFactoryInterface)
{
    // The shell itself is header-only; its entry points are the .so's.
    std::unique_ptr<CPlugin> owner(new udppub::CUDPPublisherPlugin);
    CPlugin* plugin = owner.get();
    EXPECT_EQ("UDP Event Publisher", plugin->pluginName());
    EXPECT_TRUE(plugin->conformsToInterface("CIUDPPublisherFactory"));
    auto* factory = dynamic_cast<CIUDPPublisherFactory*>(plugin);
    ASSERT_NE(nullptr, factory);
    const auto publisher = factory->createUDPPublisher(nullptr);
    ASSERT_TRUE(publisher);
    osk::CStringMap counts;
    publisher->archiveCount(counts);
    EXPECT_EQ("1000", counts.get_string("max_history"));
}
