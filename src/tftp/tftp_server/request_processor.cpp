#include "tftp/tftp_server/request_processor.h"

#include <sys/socket.h>

#include "extended/config.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "standard/guard.h"
#include "standard/hex_store.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_io.h"
#include "tftp/tftp_server/tftp_packet.h"
#include "tftp/tftp_server/tftp_server.h"
#include "tftp/tftp_server/transfer_handler.h"

namespace {
const char* const kModule = "tftp_server";

const char* const kReceived = "Frontend received packet: %1.";
const char* const kInvalidOpcode = "Invalid opcode.";
const char* const kInvalidOpcodeLog = "Refusing connection request from %1; opcode '%2' is invalid.";
const char* const kPaused = "Ignoring new transfer request while engine paused.";
const char* const kLimitReached =
    "The administrative limit of %1 connections has been reached. Refusing new connection from %2.";
const char* const kClientBusy = "Too many transfers from this address; try again later.";
const char* const kClientLimitReached =
    "The address %1 already runs %2 transfers, its limit (tftp.max_connections_per_client). Refusing new "
    "connection from %3.";
const char* const kMalformed = "Malformed packet.";
const char* const kMalformedLog = "Refusing connection from %1; the packet is malformed.";

// Requests read per wake-up of a request socket.
const int kRequestBurst = 64;
// Requests taken from a request socket per system call.
const size_t kRequestBatch = 16;
} // namespace

void CRequestProcessor::udp_input(osk::CSockDgram& sock)
{
    std::optional<CLimits> limits;
    osk::CGuard<osk::CNRMutex> guard(_server->engineLock());
    if (!_packet) _packet = _server->packet();
    // The first packets of the transfers these requests start go out
    // together, from the transfer socket.
    CTFTPIO::CBurst burst(*_server->tftpio(), _server->transferHandler()->sock());
    // Take a burst of waiting requests per wake-up, as the transfer socket
    // does with its datagrams: one request per wake-up lets a crowd of
    // clients wait so long that their repeated requests restart transfers.
    // The burst ends with the batch in hand: the socket would not wake the
    // engine for requests already read from it.
    for (int round = 0; round < kRequestBurst || _received.pending() > 0; ++round) {
        osk::CEndpoint from;
        unsigned char* raw = _packet->raw_pkt();
        // The datagrams of one batch all arrived before it was read, and so
        // after any change of the limits made before they were sent: the
        // limits read for a batch hold for all of it, and a new batch reads
        // them again.
        if (_received.pending() == 0) limits.reset();
        const ssize_t received = _received.next(sock, raw, _packet->raw_len(), from, MSG_DONTWAIT);
        if (received <= 0) return;
        // What an earlier, longer packet left behind ends here: the decoder
        // reads no further, and a one-byte datagram has no second opcode
        // byte.
        if (static_cast<size_t>(received) < _packet->raw_len()) raw[received] = 0;
        from = CTFTPIO::canonical(from);
        if (_server->tftpio()->verbose() && _controller)
            _controller->syslog(osk::CException::verbose, osk::CMessage(kReceived, kModule)
                                              .pushs(osk::CHexStore(_packet->raw_pkt(), static_cast<size_t>(received))
                                                         .string()));
        _serviceRequest(sock, from, _packet, static_cast<int>(received), limits);
    }
}

bool CRequestProcessor::queryResponse(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet,
                                      int length)
{
    if (!_controller || length <= 0) return false;
    const char* name = reinterpret_cast<const char*>(packet->raw_pkt());
    size_t size = static_cast<size_t>(length);
    // Tools send the name with a trailing zero or line end.
    while (size > 0 && (name[size - 1] == '\0' || name[size - 1] == '\n' || name[size - 1] == '\r')) --size;
    std::string answer;
    if (!_controller->getQueryResponse(name, size, answer)) return false;
    _server->tftpio()->sendRaw(sock, from, answer.data(), answer.size());
    return true;
}

// Refused before its file system is known.
void CRequestProcessor::_countRefusal()
{
    _controller->transferStatistics().refusedRequest(CTransferStatistics::unresolvedFileSystem(),
                                                     CTransferStatistics::steadySeconds());
}

namespace {
long catalogueDefault(const std::string& key)
{
    return osk::CConfigValues(osk::CStringMap(), CTFTPConfigNames::service()).slong(key);
}
} // namespace

CRequestProcessor::CRequestProcessor(CITFTPController* controller, CTFTPServer* server)
    : _controller(controller), _server(server), _received(kRequestBatch),
      _maxConnectionsKey(CTFTPConfigNames::maxConnections()),
      _perClientKey(CTFTPConfigNames::maxConnectionsPerClient()),
      _defaultMaxConnections(catalogueDefault(_maxConnectionsKey)), _defaultPerClient(catalogueDefault(_perClientKey))
{
}

CRequestProcessor::CLimits CRequestProcessor::_readLimits() const
{
    const osk::CConfigPtr config = _controller->config();
    osk::CConfigGuard guard(config);
    const osk::CStringMap& current = *config;
    return CLimits{current.get_long(_maxConnectionsKey, _defaultMaxConnections),
                   current.get_long(_perClientKey, _defaultPerClient)};
}

void CRequestProcessor::serviceRequest(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet,
                                       int length)
{
    std::optional<CLimits> limits;
    _serviceRequest(sock, from, packet, length, limits);
}

void CRequestProcessor::_serviceRequest(osk::CSockDgram& sock, const osk::CEndpoint& from, CTFTPPacket* packet,
                                        int length, std::optional<CLimits>& limits)
{
    if (queryResponse(sock, from, packet, length)) return;
    // Formatted only for an entry the log takes.
    auto client = [&from]() { return from.string(); };
    const int op = packet->opcode();
    if (op != CTFTPOpcode::rrq && op != CTFTPOpcode::wrq) {
        const unsigned char* raw = packet->raw_pkt();
        const int word = length >= 2 ? (raw[0] << 8) | raw[1] : (length == 1 ? raw[0] : 0);
        _server->tftpio()->sendError(sock, from, CTFTPErrorCode::illegal_opcode, kInvalidOpcode);
        if (_controller->logs(osk::CException::debug))
            _controller->syslog(
                osk::CException::debug,
                osk::CMessage(kInvalidOpcodeLog, kModule).pushs(client()).pushs(CTFTPOpcode(word).string()));
        return;
    }
    if (_server->paused()) {
        _controller->syslog(osk::CException::info, osk::CMessage(kPaused, kModule));
        return;
    }
    if (!limits) limits = _readLimits();
    const long maxConnections = limits->maxConnections;
    const long perClient = limits->perClient;
    // A request from a client that has a transfer replaces or repeats it:
    // it never adds to a count.
    const bool adds = !_server->hasTransfer(from);
    if (adds && maxConnections > 0 && static_cast<long>(_server->streamCount()) >= maxConnections) {
        _countRefusal();
        if (_controller->logs(osk::CException::info))
            _controller->syslog(osk::CException::info,
                                osk::CMessage(kLimitReached, kModule).push(maxConnections).pushs(client()));
        return;
    }
    // One address (a NAT, a relay, a runaway device) gets its share and no
    // more. Unlike the global limit this is answered: the client learns at
    // once that it should come back later, instead of timing out.
    const size_t running = _server->transfersFrom(from.ip_address());
    if (adds && perClient > 0 && static_cast<long>(running) >= perClient) {
        _countRefusal();
        _server->tftpio()->sendError(sock, from, CTFTPErrorCode::undefined, kClientBusy);
        if (_controller->logs(osk::CException::info))
            _controller->syslog(osk::CException::info, osk::CMessage(kClientLimitReached, kModule)
                                                           .pushs(from.ip_address().string())
                                                           .push(running)
                                                           .pushs(client()));
        return;
    }
    CConnReq req;
    if (!packet->get_conn_req(req, static_cast<uint32_t>(length))) {
        _countRefusal();
        _server->tftpio()->sendError(sock, from, CTFTPErrorCode::undefined, kMalformed);
        if (_controller->logs(osk::CException::debug))
            _controller->syslog(osk::CException::debug, osk::CMessage(kMalformedLog, kModule).pushs(client()));
        return;
    }
    req.src(from);
    try {
        // The socket knows its address since it was bound: no system call.
        req.dst(CTFTPIO::canonical(sock.local_endpoint()));
    } catch (const osk::CException&) {
        // The local address is only informative.
    }
    _server->addConnection(sock, req);
}
