#include "load_config.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using loadgen::CLoadConfig;

namespace {
CLoadConfig parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "tftp_loadgen");
    return CLoadConfig::parse(static_cast<int>(args.size()), args.data());
}
} // namespace

TEST(CLoadConfig, ReadsTheRunDescription)
{
    const CLoadConfig config = parse({"--server", "127.0.0.1:6969", "--source", "/srv", "--transfers", "20000",
                                      "--concurrency", "200", "--mode", "write", "--blksize", "1468", "--options",
                                      "blksize,tsize", "--timeout-ms", "2500", "--json"});
    EXPECT_EQ(config.host, "127.0.0.1");
    EXPECT_EQ(config.port, 6969);
    EXPECT_EQ(config.transfers, 20000u);
    EXPECT_EQ(config.concurrency, 200u);
    EXPECT_TRUE(config.transfer.upload);
    EXPECT_EQ(config.transfer.blksize, 1468u);
    EXPECT_TRUE(config.transfer.optionBlksize);
    EXPECT_TRUE(config.transfer.optionTsize);
    EXPECT_FALSE(config.transfer.optionTimeout);
    EXPECT_EQ(config.transfer.timeoutSec, 3u);  // the option carries whole seconds, rounded up
    EXPECT_TRUE(config.json);
}

TEST(CLoadConfig, BracketedIPv6AndClampedConcurrency)
{
    const CLoadConfig config = parse({"--server", "[::1]:69", "--source", "/srv", "--transfers", "5", "--concurrency",
                                      "50", "--options", "none"});
    EXPECT_EQ(config.host, "::1");
    EXPECT_EQ(config.port, 69);
    EXPECT_EQ(config.concurrency, 5u);
    EXPECT_FALSE(config.transfer.optionBlksize);
}

TEST(CLoadConfig, RefusesBadArguments)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--server", "127.0.0.1", "--source", "/srv"},          // no port
        {"--server", "127.0.0.1:70000", "--source", "/srv"},    // port out of range
        {"--source", "/srv", "--transfers", "0"},
        {"--source", "/srv", "--transfers", "-5"},
        {"--source", "/srv", "--transfers", "12x"},
        {"--source", "/srv", "--mode", "append"},
        {"--source", "/srv", "--options", "windowsize"},
        {"--source", "/srv", "--blksize", "7"},
        {"--source", "/srv", "--concurrency"},                   // value missing
        {"--source", "/srv", "--frobnicate"},
        {"--transfers", "10"},                                   // neither source nor self-test
        {"--source", "/srv", "--windowsize", "0"},
        {"--source", "/srv", "--windowsize", "65536"},
        {"--source", "/srv", "--windowsize", "8", "--mode", "write"},  // windows are for downloads
        {"--source", "/srv", "--threads", "0"},
    };
    for (const auto& args : bad) EXPECT_THROW(parse(args), std::invalid_argument) << args[args.size() - 1];
    EXPECT_NO_THROW(parse({"--self-test"}));
    const CLoadConfig windowed = parse({"--source", "/srv", "--windowsize", "32", "--threads", "4"});
    EXPECT_EQ(32u, windowed.transfer.windowsize);
    EXPECT_EQ(4u, windowed.threads);
    EXPECT_NO_THROW(parse({"--floor", "100"}));
}
