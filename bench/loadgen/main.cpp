// tftp_loadgen: drives many TFTP transfers at once against a server on
// loopback and checks every byte; see CLoadConfig::usage().
#include <sys/resource.h>

#include <iostream>
#include <stdexcept>

#include "load_config.h"
#include "parallel_load.h"
#include "ping_pong_floor.h"
#include "self_test_responder.h"
#include "source_set.h"

namespace {
// One socket per running transfer: allow as many descriptors as permitted.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void print(const loadgen::CLoadConfig& config, const loadgen::CLoadReport& report)
{
    if (config.json) std::cout << report.json() << "\n";
    else std::cout << report.text();
}
} // namespace

int main(int argc, char** argv)
{
    using namespace loadgen;
    try {
        const CLoadConfig config = CLoadConfig::parse(argc, argv);
        if (config.help) {
            std::cout << CLoadConfig::usage();
            return 0;
        }
        if (config.floorRounds) {
            const CLoadReport report = CPingPongFloor(config.floorRounds).run();
            print(config, report);
            return report.failures ? 1 : 0;
        }
        raiseDescriptorLimit();
        CSourceSet sources;
        if (!config.sourceDir.empty()) sources.load(config.sourceDir, config.files);
        else sources.addSynthetic("synthetic.bin", config.syntheticSize, 12345);

        CSelfTestResponder responder(sources);
        CUdpEndpoint server;
        if (config.selfTest) {
            responder.start();
            server = CUdpEndpoint("127.0.0.1", responder.port());
        } else {
            server = CUdpEndpoint(config.host, config.port);
        }
        CLoadReport report = CParallelLoad(config, sources, server).run();
        if (config.selfTest && report.completed)
            report.responderCpuUsec = responder.cpuSeconds() * 1e6 / static_cast<double>(report.completed);
        responder.stop();
        print(config, report);
        return report.failures ? 1 : 0;
    } catch (const std::invalid_argument& e) {
        std::cerr << "tftp_loadgen: " << e.what() << "\n\n" << CLoadConfig::usage();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "tftp_loadgen: " << e.what() << "\n";
        return 2;
    }
}
