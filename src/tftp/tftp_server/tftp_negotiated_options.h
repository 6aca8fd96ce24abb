#pragma once

#include <cstdint>
#include <vector>

#include "tftp/tftp_server/conn_req.h"
#include "tftp/tftp_server/tftp_log_note.h"

// The settled options of one transfer: the values the transfer runs with and
// which options the OACK acknowledges.
struct CTFTPNegotiatedOptions {
    uint64_t blksize = CConnReq::kDefaultBlksize;
    uint64_t timeout_usec = CConnReq::kDefaultTimeoutUsec;
    // For a write request the size the client announced. For a read request 0:
    // the engine fills in the file size once the file is open.
    uint64_t tsize = 0;
    bool optionBlocksize = false;
    bool optionTimeout = false;
    bool optionTsize = false;
    // Blocks sent per acknowledgement; 1 (lock-step) unless granted.
    uint64_t windowsize = CConnReq::kDefaultWindowsize;
    bool optionWindowsize = false;
    // Entries to log, in the order they arose.
    std::vector<CTFTPLogNote> notes;

    // True when the transfer begins with an OACK.
    bool anyOption() const { return optionBlocksize || optionTimeout || optionTsize || optionWindowsize; }

    // The OACK content for make_oack: each acknowledged option with the
    // transfer's value.
    CConnReq oackRequest() const
    {
        CConnReq r;
        if (optionBlocksize) r.blksize(blksize);
        if (optionTsize) r.tsize(tsize);
        if (optionTimeout) r.timeout_usec(timeout_usec);
        if (optionWindowsize) r.windowsize(windowsize);
        return r;
    }
};
