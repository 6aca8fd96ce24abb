#include "udp_publisher/udp_publisher.h"

#include <chrono>
#include <fstream>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "standard/string_util.h"

namespace udppub {

namespace {
const char* const kModule = "udp_publisher";
const char* const kCannotReadFile = "Cannot read the UDP subscriber file '%1'.";
const char* const kSkippedLine = "Skipping line %1 of the UDP subscriber file '%2': %3";
const char* const kNoSocket = "The UDP event publisher cannot open a socket for %1: %2";
const char* const kCannotSubscribe = "Cannot subscribe '%1'.";
const char* const kNeedsAddressAndPort = "A subscriber needs an ip address and a port.";

osk::CException subscribeError(const osk::CEndpoint& endpoint)
{
    return OSK_EXCEPTION(osk::CMessage(kCannotSubscribe, kModule).pushs(endpoint.string()),
                         osk::CMessage(kNeedsAddressAndPort, kModule), "CUDPPublisher::subscribe", kModule);
}
} // namespace

CUDPPublisher::CUDPPublisher(osk::CMasterController* controller, const settings_t& settings)
    : _controller(controller), _settings(settings)
{
    if (_settings.maxHistory == 0) _settings.maxHistory = 1;
}

CUDPPublisher::~CUDPPublisher() { stop(); }

void CUDPPublisher::start()
{
    if (_thread.joinable()) return;
    try {
        _socket4.open(osk::CEndpoint(osk::CIPAddress("0.0.0.0"), 0));
    } catch (const osk::CException& e) {
        _log(osk::CException::warning, osk::CMessage(kNoSocket, kModule).pushs("IPv4").pushs(e.printableError()));
    }
    try {
        _socket6.open(osk::CEndpoint(osk::CIPAddress("::"), 0));
    } catch (const osk::CException& e) {
        _log(osk::CException::info, osk::CMessage(kNoSocket, kModule).pushs("IPv6").pushs(e.printableError()));
    }
    {
        std::lock_guard<std::mutex> guard(_lock);
        _stopping = false;
    }
    _thread = std::thread([this] { _run(); });
}

void CUDPPublisher::stop()
{
    {
        std::lock_guard<std::mutex> guard(_lock);
        _stopping = true;
        _held = false;
    }
    _wake.notify_all();
    if (_thread.joinable()) _thread.join();
    _socket4.close();
    _socket6.close();
}

void CUDPPublisher::holdSender(bool hold)
{
    {
        std::lock_guard<std::mutex> guard(_lock);
        _held = hold;
    }
    _wake.notify_all();
}

void CUDPPublisher::publish(const osk::CAppEventPtr& event, uint32_t)
{
    if (!event) return;
    {
        std::lock_guard<std::mutex> guard(_lock);
        ++_published;
        _history.push_back(event);
        ++_queued;
        while (_history.size() > _settings.maxHistory) {
            // The oldest entry is archived unless every entry is queued.
            if (_history.size() == _queued) {
                --_queued;
                ++_dropped;
            }
            _history.pop_front();
        }
    }
    if (_settings.latencyUsec == 0) _wake.notify_one();
}

void CUDPPublisher::subscribe(const osk::CEndpoint& endpoint, const std::string& tag, const std::string& eventClass)
{
    if (!endpoint.ip_address().isValid() || endpoint.hbo_port() == 0) throw subscribeError(endpoint);
    const CUDPSubscriber subscriber(endpoint, tag, eventClass);
    {
        std::lock_guard<std::mutex> guard(_lock);
        _subscribers[endpoint] = subscriber;
        replay_t replay{subscriber, {}};
        const size_t archived = _history.size() - _queued;
        for (size_t i = 0; i < archived; ++i)
            if (subscriber.wants(_history[i]->eventClass())) replay.events.push_back(_history[i]);
        if (!replay.events.empty()) _replays.push_back(std::move(replay));
    }
    _wake.notify_one();
}

void CUDPPublisher::unsubscribe(const osk::CEndpoint& endpoint)
{
    std::lock_guard<std::mutex> guard(_lock);
    _subscribers.erase(endpoint);
    for (auto replay = _replays.begin(); replay != _replays.end();) {
        if (replay->subscriber.endpoint() == endpoint)
            replay = _replays.erase(replay);
        else
            ++replay;
    }
}

std::vector<CUDPSubscriber> CUDPPublisher::subscribers() const
{
    std::lock_guard<std::mutex> guard(_lock);
    std::vector<CUDPSubscriber> out;
    for (const auto& entry : _subscribers) out.push_back(entry.second);
    return out;
}

void CUDPPublisher::archiveCount(osk::CStringMap& out) const
{
    std::lock_guard<std::mutex> guard(_lock);
    out.set_uint64("archived", _history.size() - _queued);
    out.set_uint64("queued", _queued);
    out.set_uint64("published", _published);
    out.set_uint64("sent", _sent);
    out.set_uint64("dropped", _dropped);
    out.set_uint64("failed", _failed);
    out.set_uint64("subscribers", _subscribers.size());
    out.set_uint64("max_history", _settings.maxHistory);
}

void CUDPPublisher::clearArchive()
{
    std::lock_guard<std::mutex> guard(_lock);
    const size_t archived = _history.size() - _queued;
    _history.erase(_history.begin(), _history.begin() + static_cast<std::ptrdiff_t>(archived));
}

size_t CUDPPublisher::loadSubscribers(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        _log(osk::CException::warning, osk::CMessage(kCannotReadFile, kModule).pushs(path));
        return 0;
    }
    size_t added = 0;
    size_t number = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string content = osk::CStringUtil::trimLeft(line);
        if (content.empty() || content[0] == '#') continue;
        try {
            const CUDPSubscriber subscriber = CUDPSubscriber::parseLine(line);
            subscribe(subscriber.endpoint(), subscriber.tag(), subscriber.classes());
            ++added;
        } catch (const osk::CException& e) {
            _log(osk::CException::warning, osk::CMessage(kSkippedLine, kModule)
                                               .push(static_cast<int64_t>(number))
                                               .pushs(path)
                                               .pushs(e.printableError()));
        }
    }
    return added;
}

void CUDPPublisher::_run()
{
    const auto latency = std::chrono::microseconds(_settings.latencyUsec);
    std::unique_lock<std::mutex> lock(_lock);
    while (true) {
        const auto ready = [this] { return _stopping || (!_held && (_queued != 0 || !_replays.empty())); };
        if (_settings.latencyUsec == 0 || _stopping)
            _wake.wait(lock, ready);
        else
            // Collect for one latency period, then send what came.
            _wake.wait_for(lock, latency, [this] { return _stopping; });
        if (_held && !_stopping) continue;
        std::vector<osk::CAppEventPtr> batch(_history.end() - static_cast<std::ptrdiff_t>(_queued), _history.end());
        _queued = 0;
        std::vector<replay_t> replays;
        replays.swap(_replays);
        std::vector<CUDPSubscriber> targets;
        for (const auto& entry : _subscribers) targets.push_back(entry.second);
        const bool last = _stopping;
        lock.unlock();

        uint64_t sent = 0;
        uint64_t failed = 0;
        for (const replay_t& replay : replays)
            for (const auto& event : replay.events) _send(replay.subscriber, *event, event->string(), true, sent, failed);
        for (const auto& event : batch) {
            const std::string text = event->string();
            for (const CUDPSubscriber& target : targets)
                if (target.wants(event->eventClass())) _send(target, *event, text, false, sent, failed);
        }
        batch.clear();

        lock.lock();
        _sent += sent;
        _failed += failed;
        if (last) break;
    }
}

void CUDPPublisher::_send(const CUDPSubscriber& subscriber, const osk::CAppEvent&, const std::string& text,
                          bool replay, uint64_t& sent, uint64_t& failed)
{
    std::string datagram;
    datagram.reserve(text.size() + subscriber.tag().size() + 20);
    if (!subscriber.tag().empty()) datagram += "tag=" + subscriber.tag() + "\n";
    if (replay) datagram += "replay=true\n";
    datagram += text;
    const osk::CEndpoint& to = subscriber.endpoint();
    osk::CSockDgram& socket = to.ip_address().type() == osk::CIPAddress::ipv6 ? _socket6 : _socket4;
    if (socket.isOpen() && socket.send(datagram.data(), datagram.size(), to) == static_cast<ssize_t>(datagram.size()))
        ++sent;
    else
        ++failed;
}

void CUDPPublisher::_log(uint32_t severity, const osk::CMessage& message)
{
    if (_controller) _controller->syslog(severity, message);
}

} // namespace udppub
