// Runs a load on several threads, so that the client is not what limits a
// run of many small transfers: each thread drives its own CLoadRunner over
// its share of the transfers and of the concurrency.
#pragma once

#include "load_config.h"
#include "load_report.h"
#include "source_set.h"
#include "udp_endpoint.h"

namespace loadgen {

class CParallelLoad {
public:
    CParallelLoad(const CLoadConfig& config, const CSourceSet& sources, const CUdpEndpoint& server)
        : _config(config), _sources(sources), _server(server)
    {
    }

    // The merged report: counts summed, latencies pooled, the time that of
    // the slowest runner. Throws what a runner threw.
    CLoadReport run();

    // The configuration of runner `index` of `parts`: transfers and
    // concurrency split as evenly as possible (none runs with zero), and
    // uploads named apart.
    static CLoadConfig share(const CLoadConfig& config, unsigned parts, unsigned index);

private:
    const CLoadConfig& _config;
    const CSourceSet& _sources;
    CUdpEndpoint _server;
};

} // namespace loadgen
