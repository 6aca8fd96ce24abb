#include "load_runner.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace loadgen {

namespace {
const size_t kFailureSamples = 5;
// How often the retransmission timers are looked at.
const auto kTimerTick = std::chrono::milliseconds(5);
// Client ports are taken in turn from this range.
const unsigned kFirstPort = 32768;
const unsigned kLastPort = 60999;
const unsigned kPortsPerPart = 3001;
} // namespace

CLoadRunner::CLoadRunner(const CLoadConfig& config, const CSourceSet& sources, const CUdpEndpoint& server,
                         unsigned part)
    : _config(config), _sources(sources), _server(server), _part(part), _slots(config.concurrency),
      _buffer(65536 + 4)
{
}

CLoadRunner::~CLoadRunner()
{
    for (Slot& slot : _slots)
        if (slot.fd >= 0) ::close(slot.fd);
    if (_epoll >= 0) ::close(_epoll);
}

void CLoadRunner::_failure(const std::string& why)
{
    ++_report.failures;
    if (_report.failureSamples.size() < kFailureSamples) _report.failureSamples.push_back(why);
}

bool CLoadRunner::_startNext(Slot& slot)
{
    if (_started >= _config.transfers) return false;
    const size_t index = _started++;
    const CSourceSet::File& file = _sources.at(index % _sources.size());
    const std::string remote = _config.transfer.upload ? _config.uploadPrefix + std::to_string(index) : file.name;
    slot.fd = ::socket(_server.family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (slot.fd < 0) throw std::runtime_error(std::string("cannot open a UDP socket: ") + std::strerror(errno));
    _bindFreshPort(slot.fd);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = &slot;
    if (::epoll_ctl(_epoll, EPOLL_CTL_ADD, slot.fd, &event) != 0)
        throw std::runtime_error(std::string("cannot watch a UDP socket: ") + std::strerror(errno));
    slot.transfer.reset(new CClientTransfer(file, remote, _config.transfer));
    slot.started = Clock::now();
    _step(slot, slot.transfer->start());
    return true;
}

void CLoadRunner::_bindFreshPort(int fd)
{
    // The kernel may hand a just-closed port to the next transfer, and a
    // server still repeating packets of an earlier transfer to that port
    // would then be taken for the new transfer's server. Ports are taken in
    // turn from the ephemeral range instead, so none comes back soon; one in
    // use elsewhere is skipped, and after many misses the kernel chooses.
    const bool v6 = _server.family() == AF_INET6;
    for (int attempt = 0; attempt < 64; ++attempt) {
        _nextPort = _nextPort < kFirstPort || _nextPort >= kLastPort ? kFirstPort : _nextPort + 1;
        const CUdpEndpoint local(v6 ? "::" : "0.0.0.0", static_cast<uint16_t>(_nextPort));
        if (::bind(fd, local.address(), local.length()) == 0) return;
    }
}

void CLoadRunner::_send(Slot& slot)
{
    CUdpEndpoint to = _server;
    if (slot.transfer->serverPort()) to.port(slot.transfer->serverPort());
    const std::vector<uint8_t>& packet = slot.transfer->packet();
    // A datagram the kernel refuses counts as lost: the timer re-sends it.
    (void)::sendto(slot.fd, packet.data(), packet.size(), 0, to.address(), to.length());
    slot.deadline = Clock::now() + std::chrono::milliseconds(_config.timeoutMs);
}

void CLoadRunner::_step(Slot& slot, CClientTransfer::Step step)
{
    switch (step) {
    case CClientTransfer::Step::none: break;
    case CClientTransfer::Step::send: _send(slot); break;
    case CClientTransfer::Step::wait:
        slot.deadline = Clock::now() + std::chrono::milliseconds(_config.timeoutMs);
        break;
    case CClientTransfer::Step::done:
        // The final acknowledgement of a download still goes out.
        if (!_config.transfer.upload) _send(slot);
        _finish(slot);
        break;
    case CClientTransfer::Step::failed: _finish(slot); break;
    }
}

void CLoadRunner::_finish(Slot& slot)
{
    CClientTransfer& transfer = *slot.transfer;
    _report.retransmits += transfer.retransmits();
    _report.blksize = transfer.blksize();
    if (transfer.failed()) {
        _failure(transfer.remoteName() + ": " + transfer.failure());
    } else {
        ++_report.completed;
        _report.bytes += transfer.file().bytes.size();
        _latency.add(std::chrono::duration<double, std::micro>(Clock::now() - slot.started).count());
        if (_config.transfer.upload && !_config.verifyDir.empty())
            _uploads.push_back(Upload{&transfer.file(), transfer.remoteName()});
    }
    ++_ended;
    ::close(slot.fd);
    slot.fd = -1;
    slot.transfer.reset();
    _startNext(slot);
}

void CLoadRunner::_receive(Slot& slot)
{
    // One datagram per readiness report: the epoll is level-triggered, so
    // anything else waiting is reported again, and a lock-step transfer
    // rarely has a second datagram queued (saves a recvfrom per block). A
    // window's blocks arrive together: those are read in one go.
    while (slot.transfer) {
        sockaddr_storage from{};
        socklen_t length = sizeof(from);
        const ssize_t got =
            ::recvfrom(slot.fd, _buffer.data(), _buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) return;
        const CUdpEndpoint sender(from, length);
        const CClientTransfer::Step step = slot.transfer->receive(_buffer.data(), static_cast<size_t>(got), sender.port());
        _step(slot, step);
        if (step != CClientTransfer::Step::wait) return;
    }
}

void CLoadRunner::_checkTimers(Clock::time_point now)
{
    for (Slot& slot : _slots)
        if (slot.transfer && now >= slot.deadline) _step(slot, slot.transfer->timeout());
}

CLoadReport CLoadRunner::run()
{
    // Runners of one process start apart, so that they rarely meet.
    _nextPort = kFirstPort + (static_cast<unsigned>(::getpid()) + _part * kPortsPerPart) % (kLastPort - kFirstPort);
    _epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (_epoll < 0) throw std::runtime_error(std::string("cannot create epoll: ") + std::strerror(errno));
    _report.mode = _config.transfer.upload ? "write" : "read";
    _report.transfers = _config.transfers;
    _report.concurrency = _config.concurrency;

    const Clock::time_point begin = Clock::now();
    const Clock::time_point giveUp = begin + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(_config.timeLimitSec));
    for (Slot& slot : _slots)
        if (!_startNext(slot)) break;

    std::vector<epoll_event> events(256);
    Clock::time_point nextTick = Clock::now() + kTimerTick;
    while (_ended < _config.transfers) {
        Clock::time_point now = Clock::now();
        if (now >= giveUp) {
            for (Slot& slot : _slots) {
                if (!slot.transfer) continue;
                _failure(slot.transfer->remoteName() + ": still running at the time limit");
                ::close(slot.fd);
                slot.fd = -1;
                slot.transfer.reset();
            }
            _report.failures += _config.transfers - _started;
            break;
        }
        const int wait = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now).count());
        const int ready = ::epoll_wait(_epoll, events.data(), static_cast<int>(events.size()), wait > 0 ? wait : 0);
        if (ready < 0 && errno != EINTR)
            throw std::runtime_error(std::string("epoll_wait failed: ") + std::strerror(errno));
        for (int i = 0; i < ready; ++i) _receive(*static_cast<Slot*>(events[static_cast<size_t>(i)].data.ptr));
        now = Clock::now();
        if (now >= nextTick) {
            _checkTimers(now);
            nextTick = now + kTimerTick;
        }
    }
    _report.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    _report.p50Usec = _latency.percentile(50);
    _report.p99Usec = _latency.percentile(99);
    _report.maxUsec = _latency.max();
    _report.meanUsec = _latency.mean();
    _verifyUploads();
    return _report;
}

void CLoadRunner::_verifyUploads()
{
    for (const Upload& upload : _uploads) {
        const std::string path = _config.verifyDir + "/" + upload.remoteName;
        std::vector<uint8_t> stored;
        if (!CSourceSet::readFile(path, stored)) {
            --_report.completed;
            _failure(upload.remoteName + ": uploaded file is missing on the server");
            continue;
        }
        if (stored != upload.file->bytes) {
            --_report.completed;
            _failure(upload.remoteName + ": uploaded file differs from the source (" + std::to_string(stored.size()) +
                     " bytes stored, " + std::to_string(upload.file->bytes.size()) + " sent)");
        }
        ::unlink(path.c_str());
    }
}

} // namespace loadgen
