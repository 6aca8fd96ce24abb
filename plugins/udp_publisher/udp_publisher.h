#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standard/sock_dgram.h"
#include "tftp/tftp_interfaces/i_udp_publisher.h"
#include "udp_publisher/udp_subscriber.h"

namespace osk {
class CMasterController;
}

namespace udppub {

// Sends every event of the service to its UDP subscribers, one datagram per
// event and subscriber: an optional "tag=" line, a "replay=true" line for
// events replayed from the archive, then the event's text form.
//
// publish() only appends to the history under a short lock and returns; a
// thread of the publisher sends. The history holds at most maxHistory
// events: those not yet sent (the queue) and those already sent (the
// archive, replayed to each new subscriber). When the queue alone would
// exceed the bound the oldest queued events are dropped and counted, so a
// stalled sender costs memory up to the bound and never the engine's time.
//
// With a latency of 0 each event is sent as soon as the sender thread gets
// to it; otherwise the sender collects events and sends them every latency.
class CUDPPublisher : public CIUDPPublisher {
public:
    struct settings_t {
        size_t maxHistory = 1000;
        uint64_t latencyUsec = 100000;
    };

    // controller (may be null) receives the log lines.
    CUDPPublisher(osk::CMasterController* controller, const settings_t& settings);
    ~CUDPPublisher() override;
    CUDPPublisher(const CUDPPublisher&) = delete;
    CUDPPublisher& operator=(const CUDPPublisher&) = delete;

    // Opens the sending sockets and starts the sender thread.
    void start();
    // Sends what is queued, then stops the sender thread.
    void stop();

    void publish(const osk::CAppEventPtr& event, uint32_t transferID) override;
    void subscribe(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& eventClass) override;
    void unsubscribe(const osk::CEndpoint& endpoint) override;
    // "archived", "queued", "published", "sent", "dropped", "failed",
    // "subscribers", "max_history".
    void archiveCount(osk::CStringMap& out) const override;
    void clearArchive() override;

    // Reads subscribers from a file (one per line, see
    // CUDPSubscriber::parseLine; blank lines and lines beginning with '#'
    // are skipped). A bad line is logged and skipped; returns the number
    // of subscribers added. An unreadable file is logged and adds none.
    size_t loadSubscribers(const std::string& path);

    std::vector<CUDPSubscriber> subscribers() const;
    const settings_t& settings() const { return _settings; }

    // While held, the sender thread takes nothing from the queue (a test
    // seam that stands for a sender stalled on the network).
    void holdSender(bool hold);

private:
    struct replay_t {
        CUDPSubscriber subscriber;
        std::vector<osk::CAppEventPtr> events;
    };

    void _run();
    void _send(const CUDPSubscriber& subscriber, const osk::CAppEvent& event, const std::string& text, bool replay,
               uint64_t& sent, uint64_t& failed);
    void _log(uint32_t severity, const osk::CMessage& message);

    osk::CMasterController* _controller;
    settings_t _settings;
    mutable std::mutex _lock;
    std::condition_variable _wake;
    // Oldest first; the last _queued entries are not sent yet.
    std::deque<osk::CAppEventPtr> _history;
    size_t _queued = 0;
    std::map<osk::CEndpoint, CUDPSubscriber> _subscribers;
    std::vector<replay_t> _replays;
    uint64_t _published = 0;
    uint64_t _sent = 0;
    uint64_t _dropped = 0;
    uint64_t _failed = 0;
    bool _stopping = false;
    bool _held = false;
    std::thread _thread;
    osk::CSockDgram _socket4;
    osk::CSockDgram _socket6;
};

} // namespace udppub
