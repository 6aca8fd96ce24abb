#include "tftp/tftp_server/tftp_option_negotiator.h"

#include <algorithm>
#include <climits>

namespace {
const char* const kModule = "tftp_server";

const char* const kTimeoutTooLow =
    "Requested timeout of %1 seconds is too low; using minimum timeout of %2 seconds.";
const char* const kTimeoutTooHigh =
    "Requested timeout of %1 seconds is too high; using maximum timeout of %2 seconds.";
const char* const kWindowsizeInvalid =
    "Requested window of %1 blocks is outside 1 to 65535; sending one block per acknowledgement.";
const char* const kWindowsizeNetascii = "A netascii transfer is sent one block per acknowledgement.";
const char* const kBlksizeTooSmall =
    "Requested block size of %1 bytes is below the minimum of %2 bytes; using the default block size of %3 bytes.";

CTFTPLogNote debugNote(osk::CMessage message)
{
    return CTFTPLogNote{osk::CException::debug, std::move(message)};
}
} // namespace

CTFTPNegotiatedOptions CTFTPOptionNegotiator::negotiate(const CConnReq& req, CTFTPPacket& packet) const
{
    CTFTPNegotiatedOptions out;
    _blocksize(req, packet, out);
    _timeout(req, out);
    _tsize(req, out);
    _windowsize(req, out);
    return out;
}

void CTFTPOptionNegotiator::_blocksize(const CConnReq& req, CTFTPPacket& packet, CTFTPNegotiatedOptions& out) const
{
    out.blksize = CConnReq::kDefaultBlksize;
    out.optionBlocksize = false;
    if (!req.blksize_defined() || !_limits.allow_blocksize_option) return;

    const uint64_t requested = req.blksize();
    const uint64_t lowest = std::max(kMinBlksize, _limits.min_blocksize);
    if (requested < lowest) {
        out.notes.push_back(debugNote(osk::CMessage(kBlksizeTooSmall, kModule)
                                          .push(requested)
                                          .push(lowest)
                                          .push(CConnReq::kDefaultBlksize)));
        return;
    }

    const uint64_t highest = std::min(kMaxBlksize, _limits.max_blocksize);
    uint64_t granted = std::min(requested, highest);
    if (granted > packet.max_blksize()) {
        // Grow the shared buffer; if that fails the transfer makes do with
        // what the buffer already carries.
        packet.resize(static_cast<int>(std::min<uint64_t>(granted, INT_MAX)));
        granted = std::min<uint64_t>(granted, packet.max_blksize());
    }
    out.blksize = granted;
    out.optionBlocksize = true;
}

void CTFTPOptionNegotiator::_timeout(const CConnReq& req, CTFTPNegotiatedOptions& out) const
{
    out.optionTimeout = req.timeout_defined() && _limits.allow_timeout_option;
    if (!req.timeout_defined()) {
        out.timeout_usec = _limits.timeout_usec;
        return;
    }
    const uint64_t requested = req.timeout_usec();
    const uint64_t perSec = CConnReq::kUsecPerSec;
    if (requested < _limits.min_timeout_usec) {
        out.notes.push_back(debugNote(osk::CMessage(kTimeoutTooLow, kModule)
                                          .push(requested / perSec)
                                          .push(_limits.min_timeout_usec / perSec)));
        out.timeout_usec = _limits.min_timeout_usec;
    } else if (requested > _limits.max_timeout_usec) {
        out.notes.push_back(debugNote(osk::CMessage(kTimeoutTooHigh, kModule)
                                          .push(requested / perSec)
                                          .push(_limits.max_timeout_usec / perSec)));
        out.timeout_usec = _limits.max_timeout_usec;
    } else {
        out.timeout_usec = requested;
    }
}

void CTFTPOptionNegotiator::_tsize(const CConnReq& req, CTFTPNegotiatedOptions& out) const
{
    out.optionTsize = req.tsize_defined() && _limits.allow_tsize_option;
    // An upload announces its size; a download's size is the file's, known
    // only once the engine has opened it.
    out.tsize = (out.optionTsize && req.operation() == CTFTPOpcode::wrq) ? req.tsize() : 0;
}

void CTFTPOptionNegotiator::_windowsize(const CConnReq& req, CTFTPNegotiatedOptions& out) const
{
    out.windowsize = CConnReq::kDefaultWindowsize;
    out.optionWindowsize = false;
    if (!req.windowsize_defined() || !_limits.allow_windowsize_option) return;
    // A netascii file is converted as it is read, in order; a window that
    // starts again in its middle would need to read back.
    if (!req.octet_mode()) {
        out.notes.push_back(debugNote(osk::CMessage(kWindowsizeNetascii, kModule)));
        return;
    }
    // Negative values arrive sign-extended, so they fall above the maximum.
    const uint64_t requested = req.windowsize();
    if (requested < kMinWindowsize || requested > kMaxWindowsize) {
        out.notes.push_back(debugNote(
            osk::CMessage(kWindowsizeInvalid, kModule).push(static_cast<int64_t>(requested))));
        return;
    }
    out.windowsize = std::max(kMinWindowsize, std::min(requested, _limits.max_windowsize));
    out.optionWindowsize = true;
}
