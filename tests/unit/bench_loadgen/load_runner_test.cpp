#include "load_runner.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <unistd.h>

#include "parallel_load.h"
#include "self_test_responder.h"

using loadgen::CLoadConfig;
using loadgen::CLoadReport;
using loadgen::CLoadRunner;
using loadgen::CParallelLoad;
using loadgen::CSelfTestResponder;
using loadgen::CSourceSet;
using loadgen::CUdpEndpoint;

// End to end over loopback: the runner against the in-process responder.
namespace {
CLoadReport runAgainstResponder(CLoadConfig config, const CSourceSet& sources)
{
    CSelfTestResponder responder(sources);
    responder.start();
    CLoadRunner runner(config, sources, CUdpEndpoint("127.0.0.1", responder.port()));
    const CLoadReport report = runner.run();
    responder.stop();
    return report;
}
} // namespace

TEST(CLoadRunner, DownloadsEveryTransferAndCountsBytes)
{
    CSourceSet sources;
    sources.addSynthetic("a.bin", 5000, 1);
    sources.addSynthetic("b.bin", 1024, 2);
    CLoadConfig config;
    config.transfers = 60;
    config.concurrency = 12;
    config.transfer.optionBlksize = true;
    config.transfer.optionTsize = true;
    config.transfer.blksize = 1468;
    const CLoadReport report = runAgainstResponder(config, sources);
    EXPECT_EQ(report.completed, 60u);
    EXPECT_EQ(report.failures, 0u) << (report.failureSamples.empty() ? "" : report.failureSamples[0]);
    EXPECT_EQ(report.bytes, 30u * 5000 + 30u * 1024);  // the files are taken in turn
    EXPECT_EQ(report.blksize, 1468u);
    EXPECT_GT(report.p50Usec, 0);
    EXPECT_LE(report.p50Usec, report.p99Usec);
}

// Its thread's processor time, the floor of a server's per transfer, is
// there only while it runs.
TEST(CSelfTestResponder, ReportsItsThreadsProcessorTimeWhileItRuns)
{
    CSourceSet sources;
    sources.addSynthetic("a.bin", 1024, 1);
    CSelfTestResponder responder(sources);
    EXPECT_EQ(0.0, responder.cpuSeconds());
    responder.start();
    CLoadConfig config;
    config.transfers = 200;
    config.concurrency = 10;
    EXPECT_EQ(200u, CLoadRunner(config, sources, CUdpEndpoint("127.0.0.1", responder.port())).run().completed);
    EXPECT_GT(responder.cpuSeconds(), 0.0);
    responder.stop();
    EXPECT_EQ(0.0, responder.cpuSeconds());
}

TEST(CParallelLoad, SplitsTheRunOverThreadsAndMergesTheReports)
{
    CSourceSet sources;
    sources.addSynthetic("a.bin", 3000, 1);
    CLoadConfig config;
    config.transfers = 41;
    config.concurrency = 10;
    config.threads = 3;
    // Shares: 14, 14, 13 transfers, 4, 3, 3 at once; uploads named apart.
    EXPECT_EQ(14u, CParallelLoad::share(config, 3, 0).transfers);
    EXPECT_EQ(13u, CParallelLoad::share(config, 3, 2).transfers);
    EXPECT_EQ(4u, CParallelLoad::share(config, 3, 0).concurrency);
    EXPECT_EQ(3u, CParallelLoad::share(config, 3, 1).concurrency);
    EXPECT_NE(CParallelLoad::share(config, 3, 0).uploadPrefix, CParallelLoad::share(config, 3, 1).uploadPrefix);

    CSelfTestResponder responder(sources);
    responder.start();
    const CLoadReport report = CParallelLoad(config, sources, CUdpEndpoint("127.0.0.1", responder.port())).run();
    responder.stop();
    EXPECT_EQ(report.completed, 41u);
    EXPECT_EQ(report.failures, 0u) << (report.failureSamples.empty() ? "" : report.failureSamples[0]);
    EXPECT_EQ(report.bytes, 41u * 3000);
    EXPECT_EQ(report.transfers, 41u);
    EXPECT_GT(report.p99Usec, 0);
}

TEST(CLoadRunner, UploadsWithoutOptions)
{
    CSourceSet sources;
    sources.addSynthetic("up.bin", 3000, 5);
    CLoadConfig config;
    config.transfers = 20;
    config.concurrency = 5;
    config.transfer.upload = true;
    const CLoadReport report = runAgainstResponder(config, sources);
    EXPECT_EQ(report.completed, 20u);
    EXPECT_EQ(report.failures, 0u);
    EXPECT_EQ(report.blksize, 512u);
}

TEST(CLoadRunner, ReportsFailuresFromTheServer)
{
    // The responder has no file by the name asked for and answers with an error.
    CSourceSet served;
    served.addSynthetic("other.bin", 10, 1);
    CSourceSet wanted;
    wanted.addSynthetic("missing.bin", 10, 1);
    CSelfTestResponder responder(served);
    responder.start();
    CLoadConfig config;
    config.transfers = 3;
    config.concurrency = 3;
    CLoadRunner runner(config, wanted, CUdpEndpoint("127.0.0.1", responder.port()));
    const CLoadReport report = runner.run();
    EXPECT_EQ(report.completed, 0u);
    EXPECT_EQ(report.failures, 3u);
    ASSERT_FALSE(report.failureSamples.empty());
    EXPECT_EQ(report.failureSamples[0], "missing.bin: server error 1: File not found");
}

TEST(CLoadRunner, AServerThatNeverAnswersTimesOut)
{
    CSourceSet sources;
    sources.addSynthetic("a.bin", 10, 1);
    CLoadConfig config;
    config.transfers = 2;
    config.concurrency = 2;
    config.timeoutMs = 20;
    config.transfer.maxRetries = 2;
    // A port of this process that drops everything: a bound socket nobody reads.
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    CUdpEndpoint local("127.0.0.1", 0);
    ASSERT_EQ(::bind(fd, local.address(), local.length()), 0);
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    CLoadRunner runner(config, sources, CUdpEndpoint("127.0.0.1", ntohs(bound.sin_port)));
    const CLoadReport report = runner.run();
    ::close(fd);
    EXPECT_EQ(report.failures, 2u);
    EXPECT_EQ(report.retransmits, 4u);
    EXPECT_NE(report.failureSamples.at(0).find("timeout"), std::string::npos);
}

TEST(CLoadReport, JsonCarriesTheFiguresAndEscapesText)
{
    CLoadReport report;
    report.mode = "read";
    report.transfers = 4;
    report.completed = 3;
    report.failures = 1;
    report.bytes = 3 * 1048576;
    report.seconds = 2;
    report.responderCpuUsec = 5.25;
    report.failureSamples.push_back("say \"hi\"\n");
    const std::string json = report.json();
    EXPECT_NE(json.find("\"responder_cpu_usec\":5.250"), std::string::npos) << json;
    EXPECT_NE(json.find("\"transfers_per_sec\":1.500"), std::string::npos) << json;
    EXPECT_NE(json.find("\"mb_per_sec\":1.500"), std::string::npos) << json;
    EXPECT_NE(json.find("\"say \\\"hi\\\"\\u000a\""), std::string::npos) << json;
}
