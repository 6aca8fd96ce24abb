// The Prometheus exporter: the metric families built from the transfer
// counters, their text as a scrape shows it, the listening settings, and the
// plug-in serving a real HTTP GET on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <prometheus/text_serializer.h>

#include <map>
#include <sstream>
#include <string>

#include "extended/exception.h"
#include "prometheus_exporter/exporter_settings.h"
#include "prometheus_exporter/prometheus_exporter_plugin.h"
#include "prometheus_exporter/transfer_metrics.h"
#include "tftp/tftp_interfaces/transfer_statistics.h"
#include "tftp/tftp_server/tftp_controller.h"
#include "unit/extended/test_controller.h"

namespace {

using Stats = CTransferStatistics;

std::string serialized(const promexp::CTransferMetrics& metrics)
{
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, metrics.Collect());
    return out.str();
}

// A known mix: on "file" 3 successes, 1 refusal, 1 abort, 1 running; one
// refusal before any file system.
void knownMix(Stats& stats)
{
    stats.declareFileSystem("file");
    const int64_t now = Stats::steadySeconds();
    for (int i = 0; i < 5; ++i) stats.started("file", now);
    for (int i = 0; i < 3; ++i) stats.ended("file", Stats::success);
    stats.ended("file", Stats::aborted);
    stats.refusedRequest("file", now);
    stats.refusedRequest("elsewhere", now);
    stats.sent("file", 4096);
    stats.received("file", 100);
    stats.retransmitted("file");
    stats.retransmitted("file");
}

TEST(TransferMetrics, FamiliesCarryTheCountsWithTheirTypesAndLabels)
{
    Stats stats;
    knownMix(stats);
    const promexp::CTransferMetrics metrics(stats);
    std::map<std::string, prometheus::MetricFamily> families;
    for (const auto& family : metrics.Collect()) families[family.name] = family;
    ASSERT_EQ(7u, families.size());

    const prometheus::MetricFamily& transfers = families.at("zelvo_tftp_transfers_total");
    EXPECT_EQ(prometheus::MetricType::Counter, transfers.type);
    // Six outcomes for each of "none" and "file".
    ASSERT_EQ(12u, transfers.metric.size());
    std::map<std::string, double> byLabels;
    for (const auto& sample : transfers.metric) {
        ASSERT_EQ(2u, sample.label.size());
        EXPECT_EQ("filesystem", sample.label[0].name);
        EXPECT_EQ("outcome", sample.label[1].name);
        byLabels[sample.label[0].value + "/" + sample.label[1].value] = sample.counter.value;
    }
    EXPECT_EQ(3, byLabels.at("file/success"));
    EXPECT_EQ(1, byLabels.at("file/refused"));
    EXPECT_EQ(1, byLabels.at("file/aborted"));
    EXPECT_EQ(0, byLabels.at("file/error"));
    EXPECT_EQ(1, byLabels.at("none/refused"));

    EXPECT_EQ(prometheus::MetricType::Gauge, families.at("zelvo_tftp_active_transfers").type);
    EXPECT_EQ(prometheus::MetricType::Gauge, families.at("zelvo_tftp_requests_last_minute").type);
    EXPECT_EQ(7, families.at("zelvo_tftp_requests_last_minute").metric.at(0).gauge.value);
}

TEST(TransferMetrics, ScrapeTextShowsEachSample)
{
    Stats stats;
    knownMix(stats);
    const std::string text = serialized(promexp::CTransferMetrics(stats));
    for (const char* line : {
             "# TYPE zelvo_tftp_transfers_total counter\n",
             "zelvo_tftp_transfers_total{filesystem=\"file\",outcome=\"success\"} 3\n",
             "zelvo_tftp_transfers_total{filesystem=\"none\",outcome=\"refused\"} 1\n",
             "zelvo_tftp_requests_total{filesystem=\"file\"} 6\n",
             "zelvo_tftp_bytes_sent_total{filesystem=\"file\"} 4096\n",
             "zelvo_tftp_bytes_received_total{filesystem=\"file\"} 100\n",
             "zelvo_tftp_retransmissions_total{filesystem=\"file\"} 2\n",
             "# TYPE zelvo_tftp_active_transfers gauge\n",
             "zelvo_tftp_active_transfers{filesystem=\"file\"} 1\n",
         })
        EXPECT_NE(std::string::npos, text.find(line)) << line << "in\n" << text;
}

TEST(ExporterSettings, DefaultsAndAddresses)
{
    const promexp::CExporterSettings defaults = promexp::CExporterSettings::fromConfig(osk::CStringMap());
    EXPECT_EQ("127.0.0.1:9464", defaults.bindAddress());
    const promexp::CExporterSettings v6 =
        promexp::CExporterSettings::fromConfig(osk::CStringMap("prometheus.listen_on=::1\nprometheus.port=9100", "\n"));
    EXPECT_EQ("[::1]:9100", v6.bindAddress());
    EXPECT_THROW(promexp::CExporterSettings::fromConfig(osk::CStringMap("prometheus.listen_on=localhost", "\n")),
                 osk::CException);
}

// GET path on 127.0.0.1:port; the whole answer, or empty when nothing
// listens.
std::string httpGet(uint16_t port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof(buffer), 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return answer;
}

uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof(at));
    socklen_t length = sizeof(at);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
    ::close(fd);
    return ntohs(at.sin_port);
}

TEST(PrometheusExporterPlugin, ServesTheControllersCountsUntilShutDown)
{
    CTFTPController controller("zelvo-test");
    controller.handleSignals(false);
    const uint16_t port = freePort();
    controller.config()->set_string("prometheus.port", std::to_string(port));
    knownMix(controller.transferStatistics());

    promexp::CPrometheusExporterPlugin plugin;
    plugin.controller(&controller);
    ASSERT_EQ(0, plugin.runPlugin());
    const std::string answer = httpGet(port, "/metrics");
    EXPECT_EQ(0u, answer.find("HTTP/1.1 200")) << answer;
    EXPECT_NE(std::string::npos, answer.find("zelvo_tftp_transfers_total{filesystem=\"file\",outcome=\"success\"} 3"));
    // Counts are read at every scrape.
    controller.transferStatistics().ended("file", Stats::success);
    EXPECT_NE(std::string::npos, httpGet(port, "/metrics").find("outcome=\"success\"} 4"));

    plugin.shutdownPlugin();
    EXPECT_EQ("", httpGet(port, "/metrics"));
    plugin.shutdownPlugin();
}

TEST(PrometheusExporterPlugin, RefusesToRunOutsideTheTFTPService)
{
    zelvo_test::CTestController controller;
    promexp::CPrometheusExporterPlugin plugin;
    plugin.controller(&controller);
    EXPECT_EQ(1, plugin.runPlugin());
}

TEST(PrometheusExporterPlugin, PortInUseFailsTheRun)
{
    CTFTPController controller("zelvo-test");
    controller.handleSignals(false);
    const uint16_t port = freePort();
    controller.config()->set_string("prometheus.port", std::to_string(port));
    promexp::CPrometheusExporterPlugin first, second;
    first.controller(&controller);
    second.controller(&controller);
    ASSERT_EQ(0, first.runPlugin());
    EXPECT_EQ(1, second.runPlugin());
    // The first goes on serving.
    EXPECT_NE(std::string::npos, httpGet(port, "/metrics").find("zelvo_tftp_requests_total"));
}

} // namespace
