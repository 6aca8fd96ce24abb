#include "self_test_responder.h"

#include <arpa/inet.h>
#include <poll.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tftp_wire.h"

namespace loadgen {

CSelfTestResponder::CSelfTestResponder(const CSourceSet& sources) : _sources(sources) {}

CSelfTestResponder::~CSelfTestResponder() { stop(); }

void CSelfTestResponder::start()
{
    _fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (_fd < 0) throw std::runtime_error(std::string("responder socket: ") + std::strerror(errno));
    const int size = 8 * 1024 * 1024;
    ::setsockopt(_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    ::setsockopt(_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    CUdpEndpoint local("127.0.0.1", 0);
    if (::bind(_fd, local.address(), local.length()) != 0)
        throw std::runtime_error(std::string("responder bind: ") + std::strerror(errno));
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    ::getsockname(_fd, reinterpret_cast<sockaddr*>(&bound), &length);
    _port = ntohs(bound.sin_port);
    _thread = std::thread([this] { _loop(); });
    _native = _thread.native_handle();
}

void CSelfTestResponder::stop()
{
    _stop = true;
    if (_thread.joinable()) _thread.join();
    if (_fd >= 0) ::close(_fd);
    _fd = -1;
}

double CSelfTestResponder::cpuSeconds() const
{
    if (!_thread.joinable()) return 0;
    clockid_t clock;
    timespec used{};
    if (::pthread_getcpuclockid(_native, &clock) != 0 ||
        ::clock_gettime(clock, &used) != 0)
        return 0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

void CSelfTestResponder::_loop()
{
    std::vector<uint8_t> buffer(65536 + 4);
    while (!_stop) {
        pollfd waiting{_fd, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        sockaddr_storage from{};
        socklen_t length = sizeof(from);
        const ssize_t got = ::recvfrom(_fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) continue;
        const CUdpEndpoint sender(from, length);
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&from);
        const uint64_t key = (static_cast<uint64_t>(v4->sin_addr.s_addr) << 16) | sender.port();
        _handle(buffer.data(), static_cast<size_t>(got), sender, key);
    }
}

void CSelfTestResponder::_send(const CUdpEndpoint& to)
{
    (void)::sendto(_fd, _out.data(), _out.size(), 0, to.address(), to.length());
}

void CSelfTestResponder::_sendBlock(Transfer& transfer, const CUdpEndpoint& to)
{
    const size_t size = transfer.file->bytes.size();
    const size_t left = transfer.offset < size ? size - static_cast<size_t>(transfer.offset) : 0;
    const size_t count = left < transfer.blksize ? left : transfer.blksize;
    CTftpWire::dataPacket(_out, transfer.block, transfer.file->bytes.data() + transfer.offset, count);
    transfer.last = count < transfer.blksize;
    _send(to);
}

void CSelfTestResponder::_handle(const uint8_t* bytes, size_t length, const CUdpEndpoint& from, uint64_t key)
{
    uint16_t op = 0;
    std::string name;
    CTftpWire::Options options;
    if (CTftpWire::parseRequest(bytes, length, op, name, options)) {
        Transfer transfer;
        transfer.upload = op == CTftpWire::wrq;
        transfer.file = _sources.find(name);
        if (!transfer.upload && !transfer.file) {
            CTftpWire::errorPacket(_out, 1, "File not found");
            _send(from);
            return;
        }
        CTftpWire::Options answer;
        for (const auto& option : options) {
            if (option.first == "blksize") {
                transfer.blksize = static_cast<size_t>(std::strtoul(option.second.c_str(), nullptr, 10));
                if (transfer.blksize > 65464) transfer.blksize = 65464;
                answer.emplace_back("blksize", std::to_string(transfer.blksize));
            } else if (option.first == "tsize") {
                answer.emplace_back("tsize", transfer.upload ? option.second
                                                             : std::to_string(transfer.file->bytes.size()));
            } else if (option.first == "timeout") {
                answer.emplace_back(option);
            }
        }
        Transfer& kept = _transfers[key] = transfer;
        if (!answer.empty()) {
            CTftpWire::oackPacket(_out, answer);
            _send(from);
        } else if (kept.upload) {
            CTftpWire::ackPacket(_out, 0);
            _send(from);
        } else {
            kept.block = 1;
            _sendBlock(kept, from);
        }
        return;
    }
    const auto found = _transfers.find(key);
    if (found == _transfers.end()) return;
    Transfer& transfer = found->second;
    const CTftpWire::Parsed parsed = CTftpWire::parse(bytes, length);
    if (!parsed.valid || parsed.op == CTftpWire::error) {
        _transfers.erase(found);
        return;
    }
    if (!transfer.upload && parsed.op == CTftpWire::ack && parsed.block == transfer.block) {
        if (transfer.block != 0 && transfer.last) {
            _transfers.erase(found);
            return;
        }
        if (transfer.block != 0) transfer.offset += transfer.blksize;
        transfer.block = static_cast<uint16_t>(transfer.block + 1);
        _sendBlock(transfer, from);
    } else if (transfer.upload && parsed.op == CTftpWire::data) {
        CTftpWire::ackPacket(_out, parsed.block);
        _send(from);
        if (parsed.payloadLength < transfer.blksize) _transfers.erase(found);
    }
}

} // namespace loadgen
