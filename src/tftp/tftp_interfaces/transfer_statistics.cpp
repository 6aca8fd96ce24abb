#include "tftp/tftp_interfaces/transfer_statistics.h"

#include <chrono>

#include "standard/guard.h"
#include "tftp/tftp_interfaces/state.h"

namespace {
const char* const kOutcomeNames[CTransferStatistics::kOutcomes] = {"success", "timeout", "max_rx",
                                                                   "refused", "aborted", "error"};
// The outcome texts the engine leaves in a transfer's message.
const char* const kMsgSuccess = "success";
const char* const kMsgMaxRx = "max_rx";
const char* const kMsgReplaced = "aborted";
const char* const kMsgCancelled = "Transfer aborted";
} // namespace

uint64_t CTransferStatistics::CCounts::transfers() const
{
    uint64_t sum = 0;
    for (size_t i = 0; i < kOutcomes; ++i)
        if (i != refused) sum += outcomes[i];
    return sum;
}

CTransferStatistics::CCounts& CTransferStatistics::CCounts::operator+=(const CCounts& other)
{
    for (size_t i = 0; i < kOutcomes; ++i) outcomes[i] += other.outcomes[i];
    requests += other.requests;
    bytesSent += other.bytesSent;
    bytesReceived += other.bytesReceived;
    retransmissions += other.retransmissions;
    active += other.active;
    return *this;
}

CTransferStatistics::CCounts CTransferStatistics::CSlot::counts() const
{
    CCounts out;
    for (size_t i = 0; i < kOutcomes; ++i) out.outcomes[i] = outcomes[i].load(std::memory_order_relaxed);
    out.requests = requests.load(std::memory_order_relaxed);
    out.bytesSent = bytesSent.load(std::memory_order_relaxed);
    out.bytesReceived = bytesReceived.load(std::memory_order_relaxed);
    out.retransmissions = retransmissions.load(std::memory_order_relaxed);
    out.active = active.load(std::memory_order_relaxed);
    return out;
}

CTransferStatistics::CTransferStatistics() { _slots[0].name = unresolvedFileSystem(); }

const char* CTransferStatistics::outcomeName(outcome_t outcome) { return kOutcomeNames[outcome]; }

CTransferStatistics::outcome_t CTransferStatistics::outcomeOf(const CState& state)
{
    if (state.message == kMsgSuccess) return success;
    if (state.message == kMsgMaxRx) return state.awaitingFirstAnswer() ? timeout : max_rx;
    if (state.message == kMsgReplaced || state.message == kMsgCancelled) return aborted;
    // No error of ours went out: the client ended the transfer with its own.
    if (state.error == CTFTPErrorCode::no_error) return aborted;
    return error;
}

void CTransferStatistics::declareFileSystem(const std::string& name)
{
    osk::CGuard<osk::CNRMutex> guard(_declareLock);
    const size_t used = _declared.load(std::memory_order_relaxed);
    for (size_t i = 0; i < used; ++i)
        if (_slots[i].name == name) return;
    if (used == _slots.size()) return;
    _slots[used].name = name;
    _declared.store(used + 1, std::memory_order_release);
}

CTransferStatistics::CSlot& CTransferStatistics::_slot(const std::string& fileSystem)
{
    const size_t used = _declared.load(std::memory_order_acquire);
    for (size_t i = 1; i < used; ++i)
        if (_slots[i].name == fileSystem) return _slots[i];
    return _slots[0];
}

// One writer: a load and a store are enough, and cheaper than a locked add.
void CTransferStatistics::_add(std::atomic<uint64_t>& counter, uint64_t amount)
{
    counter.store(counter.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}

void CTransferStatistics::_requested(CSlot& slot, int64_t now)
{
    _add(slot.requests, 1);
    const uint64_t second = static_cast<uint64_t>(now);
    std::atomic<uint64_t>& bucket = _perSecond[second % kRateSlots];
    const uint64_t word = bucket.load(std::memory_order_relaxed);
    const uint64_t mask = (uint64_t(1) << kCountBits) - 1;
    const bool sameSecond = (word >> kCountBits) == second;
    const uint64_t count = sameSecond ? (word & mask) : 0;
    // A second with more requests than the count holds stays at the limit.
    if (count < mask) bucket.store((second << kCountBits) | (count + 1), std::memory_order_relaxed);
}

void CTransferStatistics::started(const std::string& fileSystem, int64_t now)
{
    CSlot& slot = _slot(fileSystem);
    _requested(slot, now);
    _add(slot.active, 1);
}

void CTransferStatistics::refusedRequest(const std::string& fileSystem, int64_t now)
{
    CSlot& slot = _slot(fileSystem);
    _requested(slot, now);
    _add(slot.outcomes[refused], 1);
}

void CTransferStatistics::ended(const std::string& fileSystem, outcome_t outcome)
{
    CSlot& slot = _slot(fileSystem);
    const uint64_t active = slot.active.load(std::memory_order_relaxed);
    if (active > 0) slot.active.store(active - 1, std::memory_order_relaxed);
    _add(slot.outcomes[outcome], 1);
}


void CTransferStatistics::sent(const std::string& fileSystem, uint64_t bytes) { _add(_slot(fileSystem).bytesSent, bytes); }

void CTransferStatistics::received(const std::string& fileSystem, uint64_t bytes)
{
    _add(_slot(fileSystem).bytesReceived, bytes);
}

void CTransferStatistics::retransmitted(const std::string& fileSystem) { _add(_slot(fileSystem).retransmissions, 1); }

CTransferStatistics::CSnapshot CTransferStatistics::snapshot(int64_t now) const
{
    CSnapshot out;
    const size_t used = _declared.load(std::memory_order_acquire);
    for (size_t i = 0; i < used; ++i) {
        out.fileSystems.emplace_back(_slots[i].name, _slots[i].counts());
        out.total += out.fileSystems.back().second;
    }
    const uint64_t mask = (uint64_t(1) << kCountBits) - 1;
    const uint64_t second = static_cast<uint64_t>(now);
    for (const auto& bucket : _perSecond) {
        const uint64_t word = bucket.load(std::memory_order_relaxed);
        const uint64_t at = word >> kCountBits;
        if (word != 0 && at <= second && second - at < kRateSlots) out.requestsLastMinute += word & mask;
    }
    return out;
}

namespace {
void writeCounts(const CTransferStatistics::CCounts& counts, const std::string& prefix, osk::CStringMap& out)
{
    for (size_t i = 0; i < CTransferStatistics::kOutcomes; ++i)
        out.set_uint64(prefix + CTransferStatistics::outcomeName(static_cast<CTransferStatistics::outcome_t>(i)),
                       counts.outcomes[i]);
    out.set_uint64(prefix + "transfers", counts.transfers());
    out.set_uint64(prefix + "requests", counts.requests);
    out.set_uint64(prefix + "bytes_sent", counts.bytesSent);
    out.set_uint64(prefix + "bytes_received", counts.bytesReceived);
    out.set_uint64(prefix + "retransmissions", counts.retransmissions);
    out.set_uint64(prefix + "active", counts.active);
}
} // namespace

void CTransferStatistics::write(const CSnapshot& snapshot, osk::CStringMap& out)
{
    writeCounts(snapshot.total, std::string(), out);
    out.set_uint64("requests_last_minute", snapshot.requestsLastMinute);
    for (const auto& fileSystem : snapshot.fileSystems) writeCounts(fileSystem.second, "fs." + fileSystem.first + ".", out);
}

int64_t CTransferStatistics::steadySeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
