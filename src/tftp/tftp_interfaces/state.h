#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "standard/endpoint.h"
#include "standard/file_offset.h"
#include "standard/general_ptr.h"
#include "standard/object.h"
#include "standard/string_map.h"
#include "standard/time_t.h"
#include "standard/timeval.h"
#include "tftp/tftp_interfaces/tftp_error_code.h"

class CIDescriptor;
class CITFTPFDManager;

// The record of one running transfer: where it stands in the engine's state
// machine, its negotiated options, its file and its outcome. A copyable
// value: the engine publishes copies of it as transfer events.
//
// activityTime and startTimestamp are readings of the monotonic clock
// (CTimeval::now()); startTime is the wall-clock start for display.
class CState : public osk::CObject {
public:
    enum transfer_state : int32_t {
        need_ack = 0,   // a data block or OACK of a download was sent
        unknown = 1,    // not used
        need_data = 2,  // an ACK or OACK of an upload was sent
        send_ack = 3,   // the ACK of the current block is to be sent
        send_oack = 4,  // the OACK is to be sent
        send_data = 5,  // the next (or repeated) data block is to be sent
        send_error = 6, // an error packet is to be sent, then the transfer ends
        complete = 7,   // the transfer is over and is to be removed
        invalid_state = 8,
    };

    // Every field at its cleared value (see clear()).
    CState();
    // Cleared, then these five fields set and startTimestamp taken now.
    CState(uint64_t transferID, transfer_state state, const osk::CEndpoint& srcEndpoint, uint64_t timeout_usec,
           uint64_t blksize);
    CState(const CState& other) = default;
    CState& operator=(const CState& other) = default;
    ~CState() override = default;

    // Back to the values of a new transfer: state complete, counters and
    // options zero, binary download, no error (255), no file; startTime and
    // startTimestamp are taken now.
    void clear();

    // The state's text: "need_ack", "need_data", "send_ack", "send_oack",
    // "send_data", "complete"; "unknown" for every other value.
    static std::string state_string(transfer_state value);
    // The value of a text; invalid_state (8) for any text without one.
    // "unknown" gives unknown (1).
    static transfer_state state_string(const std::string& text);
    std::string state_string() const { return state_string(state); }

    // blockNum + 1 in 16-bit arithmetic (65535 is followed by 0).
    uint16_t nextBlockNum() const { return static_cast<uint16_t>(blockNum + 1); }
    // The transfer begins with an OACK.
    bool anyOption() const { return optionBlocksize || optionTimeout || optionTsize || optionWindowsize; }
    // The client has not answered the transfer's first packet (the OACK, the
    // first data block of a download, or the acknowledgement of block 0 of
    // an upload). A block number that wrapped back to 0 or 1 lies beyond
    // offset 0, so it never counts as the start.
    bool awaitingFirstAnswer() const;
    // The packet that opens the transfer: send_oack when options were
    // acknowledged, else send_data (download) or send_ack (upload).
    transfer_state firstSendState() const;
    bool receiving() const { return !transmitting; }
    uint64_t timeout_sec() const { return timeout_usec / 1000000; }
    void timeout_sec(uint64_t seconds) { timeout_usec = seconds * 1000000; }
    // activityTime + timeout_usec: when a transfer waiting for its client
    // gives up waiting.
    osk::CTimeval deadline() const
    {
        return activityTime + osk::CTimeval::fromUsec(static_cast<int64_t>(timeout_usec));
    }
    // When the engine is next to service the transfer: the deadline while it
    // waits for its client (need_ack, need_data); its last activity, which
    // has passed, when it has something to send or is over. Inline: the
    // engine's queue orders transfers by it.
    osk::CTimeval dueTime() const { return state == need_ack || state == need_data ? deadline() : activityTime; }

    // The transfer's keys ("id", "fd", "block", "tsize", "offset", "blksize",
    // "windowsize", "timeout", "port", "eof", "overwrite", "start_time", "ip", "file",
    // "req_file", "protocol", "state", "operation", "mode", "status") added
    // to out.
    void sm(osk::CStringMap& out) const;
    osk::CStringMap sm() const;
    // The same keys and values as sm(), in the order listed there.
    void fields(std::vector<std::pair<std::string, std::string>>& out) const;

    // ---- CObject --------------------------------------------------------
    std::string typeName() const override { return "CState"; }
    // The keys of sm() on one line.
    std::string string() const override;
    // A transfer record is not built from text: does nothing.
    void string(const std::string&) override {}

    // Fields, in declared order.
    transfer_state state;
    uint64_t transferID;
    uint64_t retransmits;
    uint16_t blockNum;
    osk::CFileOffset fileOffset;
    uint64_t blksize;
    uint64_t tsize;
    uint64_t timeout_usec;
    osk::CTimeval activityTime;
    osk::CTimeT startTime;
    osk::CTimeval startTimestamp;
    bool eof;
    bool binary;
    bool transmitting;
    bool optionBlocksize;
    bool optionTimeout;
    bool optionTsize;
    // Blocks per acknowledgement (1: lock-step) and whether the OACK grants
    // them.
    uint64_t windowsize;
    bool optionWindowsize;
    // The blocks of the current window so far: a download's blocks sent
    // from blockNum on and not yet acknowledged; an upload's blocks received
    // since its last acknowledgement.
    uint64_t windowBlocks;
    // An upload's gap in its current window was acknowledged already.
    bool gapAcknowledged;
    // A download's bytes sent at least once (from offset 0): data sent below
    // it again is a retransmission, which the statistics count apart.
    osk::CFileOffset sentUpTo;
    CTFTPErrorCode error;
    std::string message;
    osk::CEndpoint srcEndpoint;
    osk::CEndpoint dstEndpoint;
    bool canOverwrite;
    std::string fqpn;
    std::string reqFile;
    CIDescriptor* descriptor;    // not owned
    CITFTPFDManager* fdManager;  // not owned
    std::string protocol;

    // Engine bookkeeping, not part of the transfer's record: the state's
    // position in the engine's queue (notQueued when it is in none). A copy
    // is in no queue, and assigning a record to a queued state keeps that
    // state's place, so the position never travels with the values.
    static constexpr size_t notQueued = std::numeric_limits<size_t>::max();
    class CQueuePosition {
    public:
        CQueuePosition() = default;
        CQueuePosition(const CQueuePosition&) {}
        CQueuePosition& operator=(const CQueuePosition&) { return *this; }
        CQueuePosition& operator=(size_t position)
        {
            _position = position;
            return *this;
        }
        operator size_t() const { return _position; }

    private:
        size_t _position = notQueued;
    };
    CQueuePosition queuePosition;
};

std::ostream& operator<<(std::ostream& out, const CState& state);

// How states are held: single-threaded shared ownership; the connection
// table and the queue share each state.
using CStatePtr = osk::CGeneralPtr<CState, osk::CSTOwnerPolicy>;
