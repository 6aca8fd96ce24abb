// The TFTP request decoder and option negotiation: a datagram as the request
// socket receives it, decoded as a request and as an OACK; a request is
// negotiated against permissive and strict limits, its OACK is built and
// read back, and the request is encoded again and must decode to itself
// (when its values survive the 32-bit wire form).

#include <cstddef>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_option_limits.h"
#include "tftp/tftp_server/tftp_option_negotiator.h"
#include "tftp/tftp_server/tftp_packet.h"

namespace {

CTFTPOptionLimits strictLimits()
{
    CTFTPOptionLimits limits;
    limits.min_blocksize = 512;
    limits.max_blocksize = 1428;
    limits.min_timeout_usec = 1000000;
    limits.max_timeout_usec = 10000000;
    limits.allow_timeout_option = false;
    return limits;
}

// A request as the engine answers it: negotiated, with the OACK built in
// the engine's (possibly grown) packet and decoded as a client would.
void negotiate(const CConnReq& request, const CTFTPOptionLimits& limits)
{
    CTFTPPacket packet(512);
    const CTFTPNegotiatedOptions options = CTFTPOptionNegotiator(limits).negotiate(request, packet);
    if (options.blksize > packet.max_blksize()) __builtin_trap();
    if (!options.anyOption()) return;
    packet.wipe();
    const int length = packet.make_oack(options.oackRequest());
    if (length <= 0) return;
    CTFTPPacket sent(packet.raw_pkt(), length);
    CConnReq acknowledged;
    if (!sent.get_oack(acknowledged, static_cast<uint32_t>(length))) __builtin_trap();
    if (options.optionBlocksize && acknowledged.blksize() != options.blksize) __builtin_trap();
}

// Option values travel as signed 32-bit numbers: a negative one (stored
// sign-extended) or one past that range does not come back as it was sent.
bool travelsUnchanged(const CConnReq& request)
{
    const uint64_t limit = INT32_MAX;
    return (!request.blksize_defined() || request.blksize() <= limit) &&
           (!request.timeout_defined() || request.timeout_sec() <= limit) &&
           (!request.tsize_defined() || request.tsize() <= limit) &&
           (!request.windowsize_defined() || request.windowsize() <= limit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A block of exactly the datagram's size: a read past it is reported.
    std::unique_ptr<unsigned char[]> datagram(new unsigned char[size ? size : 1]);
    if (size) std::memcpy(datagram.get(), data, size);
    CTFTPPacket received(datagram.get(), static_cast<int>(size));

    CConnReq oack;
    received.get_oack(oack, static_cast<uint32_t>(size));
    received.block();
    received.error_code();

    CConnReq request;
    if (!received.get_conn_req(request, static_cast<uint32_t>(size))) return 0;
    negotiate(request, CTFTPOptionLimits());
    negotiate(request, strictLimits());

    CTFTPPacket encoder(CTFTPOptionNegotiator::kMaxBlksize + CTFTPPacket::header_len());
    encoder.wipe();
    encoder.opcode(request.operation());
    const int length = encoder.set_conn_req(request);
    if (length <= 0) return 0;
    CTFTPPacket again(encoder.raw_pkt(), length);
    CConnReq decoded;
    if (!again.get_conn_req(decoded, static_cast<uint32_t>(length))) __builtin_trap();
    if (travelsUnchanged(request) && !decoded.sameRequest(request)) __builtin_trap();
    return 0;
}
