#pragma once

#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_negotiated_options.h"
#include "tftp/tftp_server/tftp_option_limits.h"
#include "tftp/tftp_server/tftp_packet.h"

// Settles the options of a decoded request against the configured limits.
//
// Block size: granted only when requested and allowed. A size below the
// larger of 8 and the configured minimum is declined (left out of the OACK,
// 512 used). A larger one is bounded by the configured maximum and by 65464,
// the largest block that fits a UDP datagram; when the shared packet cannot
// carry it the packet grows (it never shrinks) and the transfer uses what the
// packet can then carry.
//
// Timeout: a requested timeout is used, bounded by the configured minimum
// (tested first) and maximum, even when the option is not acknowledged;
// without one the configured default applies.
//
// Window size: granted only when requested and allowed, and only to octet
// transfers (netascii is converted in file order). A value outside 1 to
// 65535 is declined (left out of the OACK, lock-step used); a larger window
// than the configured maximum is bounded by it.
//
// Each option is acknowledged only when the request carried it and the
// configuration allows it.
class CTFTPOptionNegotiator {
public:
    // The bounds of the block size option.
    static constexpr uint64_t kMinBlksize = 8;
    static constexpr uint64_t kMaxBlksize = 65464;
    // The bounds of the windowsize option.
    static constexpr uint64_t kMinWindowsize = 1;
    static constexpr uint64_t kMaxWindowsize = 65535;

    CTFTPOptionNegotiator() = default;
    explicit CTFTPOptionNegotiator(const CTFTPOptionLimits& limits) : _limits(limits) {}

    const CTFTPOptionLimits& limits() const { return _limits; }
    void limits(const CTFTPOptionLimits& l) { _limits = l; }

    // packet is the engine's shared buffer; it may be grown.
    CTFTPNegotiatedOptions negotiate(const CConnReq& req, CTFTPPacket& packet) const;

private:
    void _blocksize(const CConnReq& req, CTFTPPacket& packet, CTFTPNegotiatedOptions& out) const;
    void _timeout(const CConnReq& req, CTFTPNegotiatedOptions& out) const;
    void _tsize(const CConnReq& req, CTFTPNegotiatedOptions& out) const;
    void _windowsize(const CConnReq& req, CTFTPNegotiatedOptions& out) const;

    CTFTPOptionLimits _limits;
};
