#pragma once

#include <memory>
#include <string>

#include "extended/plugin.h"

namespace osk {
class CMessage;
}
namespace prometheus {
class Exposer;
}

namespace promexp {

class CTransferMetrics;

// The plug-in object of the shared library zelvo_prometheus_exporter: while
// it runs, an HTTP server of its own (prometheus-cpp's pull exposer)
// answers GET /metrics on the configured address and port with the
// engine's transfer counters. It serves only the TFTP service's controller.
class CPrometheusExporterPlugin : public CPlugin {
public:
    CPrometheusExporterPlugin();
    ~CPrometheusExporterPlugin() override;

    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    // Starts the HTTP server; 1 when the controller is not the TFTP
    // service's, the settings are wrong or the port cannot be bound (each
    // logged as an error).
    int runPlugin() override;
    // Stops the HTTP server (waits for a scrape in progress); a second call
    // does nothing.
    void shutdownPlugin() override;
    void pausePlugin() override {}
    void resumePlugin() override {}
    std::string pluginName() const override { return "Prometheus Exporter"; }
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return "CPrometheusExporter"; }

private:
    void _logError(const osk::CMessage& message);

    std::shared_ptr<CTransferMetrics> _metrics;
    std::unique_ptr<prometheus::Exposer> _exposer;
};

} // namespace promexp

// The library's entry points, resolved by name.
extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}
