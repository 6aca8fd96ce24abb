#include "tftp/tftp_server/tftp_io.h"

#include <algorithm>

#include "extended/master_controller.h"
#include "standard/hex_store.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"
#include "tftp/tftp_server/tftp_packet.h"

namespace {
const char* const kModule = "tftp_server";

const char* const kBlocksizeInconsistent =
    "Internal inconsistency: blocksize buffer is %1, blocksize for client %2 is %3.";
const char* const kSendingPacket = "Sending packet: %1.";

// Datagrams a burst queues before it sends them.
const size_t kBurstQueue = 32;
} // namespace

CTFTPIO::CTFTPIO(osk::CMasterController* controller, CTFTPPacket* packet)
    : _controller(controller), _packet(packet), _queue(kBurstQueue)
{
}

CTFTPIO::CBurst::CBurst(CTFTPIO& io, osk::CSockDgram& sock) : _io(io), _outermost(io._burstSock == nullptr)
{
    if (_outermost) _io._burstSock = &sock;
}

CTFTPIO::CBurst::~CBurst()
{
    if (!_outermost) return;
    _io.flushQueued();
    _io._burstSock = nullptr;
}

void CTFTPIO::flushQueued()
{
    if (!_burstSock || _queue.size() == 0) return;
    _queue.flush(*_burstSock);
    for (const osk::CEndpoint& client : _queue.takeFailed())
        if (_controller)
            _controller->syslog(osk::CException::error,
                                osk::CMessage(sendFailed, kModule).pushs(canonical(client).string()));
}

bool CTFTPIO::_send(osk::CSockDgram& sock, const osk::CEndpoint& to, size_t length)
{
    return sendRaw(sock, to, _packet->raw_pkt(), length);
}

osk::CEndpoint CTFTPIO::canonical(const osk::CEndpoint& endpoint)
{
    const osk::CIPAddress& address = endpoint.ip_address();
    if (!address.isMappedIPv4()) return endpoint;
    // The last four bytes of ::ffff:a.b.c.d; no scope or flow.
    return osk::CEndpoint(osk::CIPAddress(address.raw_addr() + 12, 4), endpoint.hbo_port());
}

osk::CEndpoint CTFTPIO::forSocket(const osk::CSockDgram& sock, const osk::CEndpoint& endpoint)
{
    if (!sock.protocol_family().isIPv6() || endpoint.ip_address().type() != osk::CIPAddress::ipv4) return endpoint;
    osk::CEndpoint out(endpoint);
    out.ip_address(endpoint.ip_address().mapTo(osk::CIPAddress::ipv6));
    return out;
}

bool CTFTPIO::sendRaw(osk::CSockDgram& sock, const osk::CEndpoint& to, const void* data, size_t length)
{
    if (&sock == _burstSock) return _queue.push(sock, data, length, forSocket(sock, to));
    const ssize_t sent = sock.send_blocked(data, length, forSocket(sock, to));
    return sent >= 0 && static_cast<size_t>(sent) == length;
}

bool CTFTPIO::sendAck(osk::CSockDgram& sock, CState& state)
{
    const int length = _packet->make_ack(state.blockNum);
    return length > 0 && _send(sock, state.srcEndpoint, static_cast<size_t>(length));
}

bool CTFTPIO::sendOack(osk::CSockDgram& sock, CState& state)
{
    CConnReq options;
    if (state.optionBlocksize) options.blksize(state.blksize);
    if (state.optionTsize) options.tsize(state.tsize);
    if (state.optionTimeout) options.timeout_usec(state.timeout_usec);
    if (state.optionWindowsize) options.windowsize(state.windowsize);
    const int length = _packet->make_oack(options);
    if (length <= 0) return false;
    _logOutput(_packet->raw_pkt(), static_cast<size_t>(length));
    return _send(sock, state.srcEndpoint, static_cast<size_t>(length));
}

bool CTFTPIO::sendData(osk::CSockDgram& sock, CState& state, uint16_t block, osk::CFileOffset offset)
{
    if (state.blksize > _packet->max_blksize()) {
        if (_controller)
            _controller->syslog(osk::CException::error, osk::CMessage(kBlocksizeInconsistent, kModule)
                                            .push(_packet->max_blksize())
                                            .pushs(state.srcEndpoint.string())
                                            .push(state.blksize));
        return false;
    }
    _packet->opcode(CTFTPOpcode::data);
    _packet->block(block);
    const size_t count = state.fdManager->readBlock(reinterpret_cast<char*>(_packet->data()), offset,
                                                    static_cast<size_t>(state.blksize), state.descriptor);
    if (!_send(sock, state.srcEndpoint, CTFTPPacket::header_len() + count)) return false;
    _lastPayload = count;
    if (count < state.blksize) state.eof = true;
    return true;
}

uint64_t CTFTPIO::sendBlocks(osk::CSockDgram& sock, CState& state, uint16_t block, osk::CFileOffset offset,
                             uint64_t count)
{
    const size_t blksize = static_cast<size_t>(state.blksize);
    const size_t bytes = static_cast<size_t>(count) * blksize;
    if (_blocks.size() < bytes) _blocks.resize(bytes);
    if (_headers.size() < count * CTFTPPacket::header_len()) _headers.resize(count * CTFTPPacket::header_len());
    if (_parts.size() < count * 2) _parts.resize(count * 2);
    const size_t read = state.fdManager->readBlock(_blocks.data(), offset, bytes, state.descriptor);

    uint64_t blocks = 0;
    bool last = false;
    while (blocks < count && !last) {
        const size_t start = static_cast<size_t>(blocks) * blksize;
        const size_t length = read > start ? std::min(blksize, read - start) : 0;
        last = length < blksize;
        unsigned char* header = _headers.data() + blocks * CTFTPPacket::header_len();
        const auto number = static_cast<uint16_t>(block + blocks);
        header[0] = 0;
        header[1] = static_cast<unsigned char>(CTFTPOpcode::data);
        header[2] = static_cast<unsigned char>(number >> 8);
        header[3] = static_cast<unsigned char>(number & 0xff);
        _parts[blocks * 2] = iovec{header, CTFTPPacket::header_len()};
        _parts[blocks * 2 + 1] = iovec{_blocks.data() + start, length};
        ++blocks;
    }
    // What the burst queued before goes first: it may be this client's.
    if (&sock == _burstSock) flushQueued();
    const size_t sent = sock.send_many(_parts.data(), 2, static_cast<size_t>(blocks), forSocket(sock, state.srcEndpoint));
    _lastPayload = std::min(read, sent * blksize);
    if (last && sent == blocks) state.eof = true;
    return sent;
}

bool CTFTPIO::sendError(osk::CSockDgram& sock, const osk::CEndpoint& to, CTFTPErrorCode code, const char* text)
{
    return sendError(sock, to, code, std::string(text ? text : ""));
}

bool CTFTPIO::sendError(osk::CSockDgram& sock, const osk::CEndpoint& to, CTFTPErrorCode code,
                        const std::string& text)
{
    const int length = _packet->make_err(code, text);
    if (length <= 0) return false;
    _logOutput(_packet->raw_pkt(), static_cast<size_t>(length));
    return _send(sock, to, static_cast<size_t>(length));
}

void CTFTPIO::_logOutput(const unsigned char* bytes, size_t length)
{
    if (!_verbose || !_controller) return;
    _controller->syslog(osk::CException::verbose, osk::CMessage(kSendingPacket, kModule).pushs(osk::CHexStore(bytes, length).string()));
}
