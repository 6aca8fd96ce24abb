#include "tftp/tftp_interfaces/state.h"

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
}

bool CState::awaitingFirstAnswer() const
{
    if (fileOffset != 0) return false;
    if (!transmitting) return blockNum == 0;
    return blockNum == (anyOption() ? 0 : 1);
}

CState::transfer_state CState::firstSendState() const
{
    if (anyOption()) return send_oack;
    return transmitting ? send_data : send_ack;
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
    windowsize = 1;
    optionWindowsize = false;
    windowBlocks = 0;
    sentUpTo = 0;
    gapAcknowledged = false;
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

void CState::fields(std::vector<std::pair<std::string, std::string>>& out) const
{
    out.emplace_back("id", std::to_string(transferID));
    out.emplace_back("fd", std::to_string(descriptor ? descriptor->id() : 0));
    out.emplace_back("block", std::to_string(blockNum));
    out.emplace_back("tsize", std::to_string(tsize));
    out.emplace_back("offset", std::to_string(fileOffset));
    out.emplace_back("blksize", std::to_string(blksize));
    out.emplace_back("windowsize", std::to_string(windowsize));
    out.emplace_back("timeout", std::to_string(timeout_usec));
    out.emplace_back("port", std::to_string(srcEndpoint.hbo_port()));
    out.emplace_back("eof", eof ? "true" : "false");
    out.emplace_back("overwrite", canOverwrite ? "true" : "false");
    out.emplace_back("start_time", utcDateText(startTime));
    out.emplace_back("ip", srcEndpoint.ip_address().string());
    out.emplace_back("file", fqpn);
    out.emplace_back("req_file", reqFile);
    out.emplace_back("protocol", protocol);
    out.emplace_back("state", state_string());
    out.emplace_back("operation", transmitting ? "transmit" : "receive");
    out.emplace_back("mode", binary ? "binary" : "ascii");
    out.emplace_back("status", message);
}

void CState::sm(osk::CStringMap& out) const
{
    std::vector<std::pair<std::string, std::string>> list;
    fields(list);
    for (const auto& field : list) out.set_string(field.first, field.second);
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
