#include "tftp/tftp_server/state.h"

#include <time.h>

#include "tftp/tftp_interfaces/i_descriptor.h"

namespace {
struct StateText {
    CState::transfer_state value;
    const char* text;
};

// The texts of the states; the other values read "unknown".
const StateText kStateTexts[] = {
    {CState::need_ack, "need_ack"},   {CState::unknown, "unknown"},     {CState::need_data, "need_data"},
    {CState::send_ack, "send_ack"},   {CState::send_oack, "send_oack"}, {CState::send_data, "send_data"},
    {CState::complete, "complete"},
};
const char* const kUnknown = "unknown";

// asctime text of the UTC time without its newline: "Thu Jan  1 00:00:00 1970".
std::string utcDateText(const osk::CTimeT& time)
{
    const time_t seconds = static_cast<time_t>(time.seconds());
    tm parts{};
    char buffer[64] = {0};
    if (!::gmtime_r(&seconds, &parts) || !::asctime_r(&parts, buffer)) return std::string();
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}
} // namespace

CState::CState()
{
    clear();
}

CState::CState(uint64_t transferID_, transfer_state state_, const osk::CEndpoint& srcEndpoint_,
               uint64_t timeout_usec_, uint64_t blksize_)
{
    clear();
    transferID = transferID_;
    state = state_;
    srcEndpoint = srcEndpoint_;
    timeout_usec = timeout_usec_;
    blksize = blksize_;
    startTimestamp = osk::CTimeval::now();
}

void CState::clear()
{
    state = complete;
    transferID = 0;
    retransmits = 0;
    blockNum = 0;
    fileOffset = 0;
    blksize = 0;
    tsize = 0;
    timeout_usec = 0;
    activityTime = osk::CTimeval();
    startTime = osk::CTimeT::now();
    startTimestamp = osk::CTimeval::now();
    eof = false;
    binary = true;
    transmitting = true;
    optionBlocksize = false;
    optionTimeout = false;
    optionTsize = false;
    error = CTFTPErrorCode::no_error;
    message.clear();
    srcEndpoint = osk::CEndpoint();
    dstEndpoint = osk::CEndpoint();
    canOverwrite = false;
    fqpn.clear();
    reqFile.clear();
    descriptor = nullptr;
    fdManager = nullptr;
    protocol.clear();
}

std::string CState::state_string(transfer_state value)
{
    for (const auto& entry : kStateTexts)
        if (entry.value == value) return entry.text;
    return kUnknown;
}

CState::transfer_state CState::state_string(const std::string& text)
{
    for (const auto& entry : kStateTexts)
        if (text == entry.text) return entry.value;
    return invalid_state;
}

osk::CTimeval CState::deadline() const
{
    return activityTime + osk::CTimeval::fromUsec(static_cast<int64_t>(timeout_usec));
}

void CState::sm(osk::CStringMap& out) const
{
    out.set_uint64("id", transferID);
    out.set_uint64("fd", descriptor ? descriptor->id() : 0);
    out.set_uint16("block", blockNum);
    out.set_uint64("tsize", tsize);
    out.set_string("offset", std::to_string(fileOffset));
    out.set_uint64("blksize", blksize);
    out.set_uint64("timeout", timeout_usec);
    out.set_uint16("port", srcEndpoint.hbo_port());
    out.set_bool("eof", eof);
    out.set_bool("overwrite", canOverwrite);
    out.set_string("start_time", utcDateText(startTime));
    out.set_string("ip", srcEndpoint.ip_address().string());
    out.set_string("file", fqpn);
    out.set_string("req_file", reqFile);
    out.set_string("protocol", protocol);
    out.set_string("state", state_string());
    out.set_string("operation", transmitting ? "transmit" : "receive");
    out.set_string("mode", binary ? "binary" : "ascii");
    out.set_string("status", message);
}

osk::CStringMap CState::sm() const
{
    osk::CStringMap out;
    sm(out);
    return out;
}

std::string CState::string() const
{
    return sm().join(", ", false, "");
}

std::ostream& operator<<(std::ostream& out, const CState& state)
{
    return out << state.string();
}
