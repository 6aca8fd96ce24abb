#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/nr_mutex.h"
#include "standard/string_map.h"

class CState;

// What the TFTP engine has done since the service started: transfers by
// outcome, bytes moved, retransmissions, requests and running transfers,
// kept per virtual file system.
//
// Only the engine thread writes; consoles, the UDP query and the metrics
// exporter read from their own threads. Every counter is an atomic used with
// relaxed ordering: a write costs one uncontended add, and a reader sees
// each counter whole (a snapshot taken while transfers run may be a few
// events apart between counters, never torn).
//
// The file systems are the names the controller declares (its descriptor
// managers). Everything else, requests refused before a file system was
// known and names no manager serves, counts under unresolvedFileSystem(),
// so a client cannot make the set of names grow.
class CTransferStatistics {
public:
    // How a transfer ended. refused: turned away before it started (limits,
    // malformed request, access rules, a file that cannot be opened).
    // timeout: the retransmission limit ran out before the client answered
    // the first packet at all; max_rx: it ran out after the client had
    // answered. aborted: cancelled from a console, replaced by a new request
    // of the same client port, or given up by the client with an error
    // packet. error: ended by an error the server sent.
    enum outcome_t { success, timeout, max_rx, refused, aborted, error };
    static constexpr size_t kOutcomes = 6;
    // The most file systems counted apart; further names count as
    // unresolved.
    static constexpr size_t kMaxFileSystems = 16;

    // The counters of one file system (plain values: a copy).
    struct CCounts {
        std::array<uint64_t, kOutcomes> outcomes{};
        uint64_t requests = 0;
        uint64_t bytesSent = 0;
        uint64_t bytesReceived = 0;
        uint64_t retransmissions = 0;
        uint64_t active = 0;

        uint64_t transfers() const;
        CCounts& operator+=(const CCounts& other);
    };
    // All file systems, in declaration order (the unresolved one first).
    struct CSnapshot {
        std::vector<std::pair<std::string, CCounts>> fileSystems;
        CCounts total;
        uint64_t requestsLastMinute = 0;
    };

    CTransferStatistics();
    CTransferStatistics(const CTransferStatistics&) = delete;
    CTransferStatistics& operator=(const CTransferStatistics&) = delete;

    static const char* outcomeName(outcome_t outcome);
    static std::string unresolvedFileSystem() { return "none"; }
    // The outcome of a transfer that has ended, from its final state.
    static outcome_t outcomeOf(const CState& state);

    // Adds a file system to count apart (any thread; a name declared again
    // is ignored).
    void declareFileSystem(const std::string& name);

    // Engine thread. fileSystem is a declared name; any other counts as
    // unresolved. Every request either starts a transfer or is refused, and
    // counts as a request either way; now is seconds of the steady clock
    // (steadySeconds()), for the last minute's requests.
    void started(const std::string& fileSystem, int64_t now);
    void refusedRequest(const std::string& fileSystem, int64_t now);
    // A transfer that started has ended.
    void ended(const std::string& fileSystem, outcome_t outcome);
    // Payload bytes of data blocks, each block once (repeats are
    // retransmissions).
    void sent(const std::string& fileSystem, uint64_t bytes);
    void received(const std::string& fileSystem, uint64_t bytes);
    void retransmitted(const std::string& fileSystem);

    // Any thread.
    CSnapshot snapshot(int64_t now) const;
    // The snapshot as key=value entries: the totals under their own names
    // ("success", "timeout", "max_rx", "refused", "aborted", "error",
    // "transfers", "requests", "requests_last_minute", "bytes_sent",
    // "bytes_received", "retransmissions", "active"), then the same per file
    // system under "fs.<name>." (without the minute's requests).
    static void write(const CSnapshot& snapshot, osk::CStringMap& out);
    // Seconds of the steady clock, as requested() and snapshot() take them.
    static int64_t steadySeconds();

private:
    struct CSlot {
        std::string name;
        std::array<std::atomic<uint64_t>, kOutcomes> outcomes{};
        std::atomic<uint64_t> requests{0};
        std::atomic<uint64_t> bytesSent{0};
        std::atomic<uint64_t> bytesReceived{0};
        std::atomic<uint64_t> retransmissions{0};
        std::atomic<uint64_t> active{0};

        CCounts counts() const;
    };
    // The requests of the last minute: one word per second holding the
    // second (high bits) and its count (low bits), so a reader never sees a
    // count of one second under another.
    static constexpr size_t kRateSlots = 60;
    static constexpr unsigned kCountBits = 24;

    CSlot& _slot(const std::string& fileSystem);
    void _requested(CSlot& slot, int64_t now);
    static void _add(std::atomic<uint64_t>& counter, uint64_t amount);

    std::array<CSlot, kMaxFileSystems + 1> _slots;
    // Slots [0, _declared) carry their final name; slot 0 is the unresolved
    // one. A name is written before the count that publishes it.
    std::atomic<size_t> _declared{1};
    osk::CNRMutex _declareLock;
    std::array<std::atomic<uint64_t>, kRateSlots> _perSecond{};
};
