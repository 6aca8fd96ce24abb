// The transfer counters: how an ended transfer's state maps to an outcome,
// per file system counting, the last minute's requests, the key=value form,
// and reading while the engine thread writes.
#include "tftp/tftp_interfaces/transfer_statistics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tftp/tftp_interfaces/state.h"

namespace {

using Stats = CTransferStatistics;

CState ended(const std::string& message, CTFTPErrorCode error = CTFTPErrorCode::no_error, bool answered = true)
{
    CState state;
    state.transmitting = true;
    state.message = message;
    state.error = error;
    // A download that got past its first block has been answered.
    state.blockNum = answered ? 3 : 1;
    state.fileOffset = answered ? 1024 : 0;
    return state;
}

Stats::CCounts countsOf(const Stats& stats, const std::string& fileSystem, int64_t now = 1000)
{
    for (const auto& entry : stats.snapshot(now).fileSystems)
        if (entry.first == fileSystem) return entry.second;
    ADD_FAILURE() << "no file system " << fileSystem;
    return Stats::CCounts();
}

TEST(TransferStatistics, OutcomeOfAnEndedTransfer)
{
    EXPECT_EQ(Stats::success, Stats::outcomeOf(ended("success")));
    EXPECT_EQ(Stats::max_rx, Stats::outcomeOf(ended("max_rx")));
    EXPECT_EQ(Stats::timeout, Stats::outcomeOf(ended("max_rx", CTFTPErrorCode::no_error, false)));
    // Replaced by a new request, cancelled from a console.
    EXPECT_EQ(Stats::aborted, Stats::outcomeOf(ended("aborted")));
    EXPECT_EQ(Stats::aborted, Stats::outcomeOf(ended("Transfer aborted", CTFTPErrorCode::undefined)));
    // The client's own error packet: its text, and no error of ours.
    EXPECT_EQ(Stats::aborted, Stats::outcomeOf(ended("user cancelled")));
    EXPECT_EQ(Stats::error, Stats::outcomeOf(ended("invalid opcode", CTFTPErrorCode::illegal_opcode)));
    EXPECT_EQ(Stats::error, Stats::outcomeOf(ended("Disk full.", CTFTPErrorCode::disk_full)));
}

TEST(TransferStatistics, OutcomeNamesAreTheMetricLabels)
{
    const char* expected[] = {"success", "timeout", "max_rx", "refused", "aborted", "error"};
    for (size_t i = 0; i < Stats::kOutcomes; ++i)
        EXPECT_STREQ(expected[i], Stats::outcomeName(static_cast<Stats::outcome_t>(i)));
}

TEST(TransferStatistics, EveryRequestStartsOrIsRefused)
{
    Stats stats;
    stats.declareFileSystem("file");
    stats.started("file", 1000);
    stats.started("file", 1000);
    stats.refusedRequest("file", 1000);
    Stats::CCounts c = countsOf(stats, "file");
    EXPECT_EQ(3u, c.requests);
    EXPECT_EQ(2u, c.active);
    EXPECT_EQ(1u, c.outcomes[Stats::refused]);
    EXPECT_EQ(0u, c.transfers());

    stats.ended("file", Stats::success);
    stats.ended("file", Stats::aborted);
    c = countsOf(stats, "file");
    EXPECT_EQ(0u, c.active);
    EXPECT_EQ(2u, c.transfers());
    EXPECT_EQ(1u, c.outcomes[Stats::success]);
    EXPECT_EQ(1u, c.outcomes[Stats::aborted]);
}

TEST(TransferStatistics, FileSystemsAreCountedApartAndUnknownNamesAsUnresolved)
{
    Stats stats;
    stats.declareFileSystem("file");
    stats.declareFileSystem("db");
    stats.declareFileSystem("file");
    stats.sent("file", 100);
    stats.sent("db", 7);
    stats.sent("client-chosen", 5);
    stats.received("db", 9);
    stats.retransmitted("db");

    const Stats::CSnapshot snapshot = stats.snapshot(1000);
    ASSERT_EQ(3u, snapshot.fileSystems.size());
    EXPECT_EQ(Stats::unresolvedFileSystem(), snapshot.fileSystems[0].first);
    EXPECT_EQ("file", snapshot.fileSystems[1].first);
    EXPECT_EQ("db", snapshot.fileSystems[2].first);
    EXPECT_EQ(5u, snapshot.fileSystems[0].second.bytesSent);
    EXPECT_EQ(100u, snapshot.fileSystems[1].second.bytesSent);
    EXPECT_EQ(7u, snapshot.fileSystems[2].second.bytesSent);
    EXPECT_EQ(9u, snapshot.fileSystems[2].second.bytesReceived);
    EXPECT_EQ(1u, snapshot.fileSystems[2].second.retransmissions);
    EXPECT_EQ(112u, snapshot.total.bytesSent);
    EXPECT_EQ(9u, snapshot.total.bytesReceived);
}

TEST(TransferStatistics, NamesBeyondTheLimitCountAsUnresolved)
{
    Stats stats;
    for (size_t i = 0; i < Stats::kMaxFileSystems + 3; ++i) stats.declareFileSystem("fs" + std::to_string(i));
    EXPECT_EQ(Stats::kMaxFileSystems + 1, stats.snapshot(0).fileSystems.size());
    const std::string last = "fs" + std::to_string(Stats::kMaxFileSystems + 2);
    stats.sent(last, 3);
    EXPECT_EQ(3u, countsOf(stats, Stats::unresolvedFileSystem()).bytesSent);
    stats.sent("fs0", 4);
    EXPECT_EQ(4u, countsOf(stats, "fs0").bytesSent);
}

TEST(TransferStatistics, LastMinuteHoldsOnlyTheLastSixtySeconds)
{
    Stats stats;
    stats.started("x", 1000);
    stats.started("x", 1000);
    stats.refusedRequest("x", 1030);
    stats.started("x", 1059);
    EXPECT_EQ(4u, stats.snapshot(1059).requestsLastMinute);
    // At 1060 the requests of second 1000 are a minute old.
    EXPECT_EQ(2u, stats.snapshot(1060).requestsLastMinute);
    EXPECT_EQ(0u, stats.snapshot(1200).requestsLastMinute);
    // Second 1120 reuses the slot of second 1000 (and 1060) and starts at 1.
    stats.started("x", 1120);
    EXPECT_EQ(1u, stats.snapshot(1120).requestsLastMinute);
    // The totals keep everything.
    EXPECT_EQ(5u, stats.snapshot(1120).total.requests);
}

TEST(TransferStatistics, WrittenAsTotalsThenPerFileSystem)
{
    Stats stats;
    stats.declareFileSystem("file");
    stats.started("file", 10);
    stats.ended("file", Stats::max_rx);
    stats.refusedRequest("nowhere", 10);
    stats.sent("file", 1234);

    osk::CStringMap out;
    Stats::write(stats.snapshot(10), out);
    EXPECT_EQ("1", out.get_string("max_rx"));
    EXPECT_EQ("1", out.get_string("refused"));
    EXPECT_EQ("2", out.get_string("requests"));
    EXPECT_EQ("1", out.get_string("transfers"));
    EXPECT_EQ("2", out.get_string("requests_last_minute"));
    EXPECT_EQ("1234", out.get_string("bytes_sent"));
    EXPECT_EQ("0", out.get_string("active"));
    EXPECT_EQ("1", out.get_string("fs.file.max_rx"));
    EXPECT_EQ("0", out.get_string("fs.file.refused"));
    EXPECT_EQ("1", out.get_string("fs.none.refused"));
    EXPECT_EQ("1234", out.get_string("fs.file.bytes_sent"));
    EXPECT_FALSE(out.defined("fs.file.requests_last_minute"));
}

// One writer (the engine thread) and readers on other threads: every
// counter a reader sees only grows, and the final counts are exact.
TEST(TransferStatistics, ReadersSeeGrowingCountsWhileTheEngineWrites)
{
    Stats stats;
    stats.declareFileSystem("file");
    const int transfers = 20000;
    std::atomic<bool> done{false};
    std::atomic<int> regressions{0};
    auto reader = [&]() {
        uint64_t lastSent = 0, lastSuccess = 0;
        while (!done.load()) {
            const Stats::CSnapshot snapshot = stats.snapshot(Stats::steadySeconds());
            if (snapshot.total.bytesSent < lastSent || snapshot.total.outcomes[Stats::success] < lastSuccess)
                ++regressions;
            lastSent = snapshot.total.bytesSent;
            lastSuccess = snapshot.total.outcomes[Stats::success];
        }
    };
    std::thread first(reader), second(reader);
    std::thread declarer([&]() { stats.declareFileSystem("late"); });
    for (int i = 0; i < transfers; ++i) {
        stats.started("file", Stats::steadySeconds());
        stats.sent("file", 512);
        stats.ended("file", Stats::success);
    }
    declarer.join();
    done = true;
    first.join();
    second.join();
    EXPECT_EQ(0, regressions.load());
    const Stats::CCounts c = countsOf(stats, "file");
    EXPECT_EQ(uint64_t(transfers), c.outcomes[Stats::success]);
    EXPECT_EQ(uint64_t(transfers) * 512, c.bytesSent);
    EXPECT_EQ(0u, c.active);
}

} // namespace
