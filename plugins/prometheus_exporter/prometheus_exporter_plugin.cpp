#include "prometheus_exporter/prometheus_exporter_plugin.h"

#include <prometheus/exposer.h>

#include "extended/config.h"
#include "extended/exception.h"
#include "prometheus_exporter/exporter_settings.h"
#include "prometheus_exporter/transfer_metrics.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"

namespace promexp {

namespace {
const char* const kModule = "prometheus_exporter";
const char* const kNotTFTP = "The Prometheus exporter plugin only functions with the TFTP service.";
const char* const kCannotListen = "The Prometheus exporter cannot listen on %1: %2";
const char* const kServing = "Serving Prometheus metrics on http://%1/metrics.";
} // namespace

CPrometheusExporterPlugin::CPrometheusExporterPlugin() = default;

// The host calls shutdownPlugin first; stopping here as well keeps the HTTP
// threads from outliving the object whatever the host does.
CPrometheusExporterPlugin::~CPrometheusExporterPlugin() { shutdownPlugin(); }

void CPrometheusExporterPlugin::_logError(const osk::CMessage& message)
{
    if (controller()) controller()->syslog(osk::CException::error, message);
}

int CPrometheusExporterPlugin::runPlugin()
{
    auto* tftp = dynamic_cast<CITFTPController*>(controller());
    if (!tftp) {
        _logError(osk::CMessage(kNotTFTP, kModule));
        return 1;
    }
    std::string where;
    try {
        CExporterSettings settings;
        {
            const osk::CConfigPtr config = tftp->config();
            osk::CConfigGuard guard(config);
            settings = CExporterSettings::fromConfig(*config);
        }
        where = settings.bindAddress();
        _metrics = std::make_shared<CTransferMetrics>(tftp->transferStatistics());
        _exposer = std::make_unique<prometheus::Exposer>(where);
        _exposer->RegisterCollectable(_metrics);
    } catch (const osk::CException& e) {
        _logError(osk::CMessage(e.printableError(), kModule));
        shutdownPlugin();
        return 1;
    } catch (const std::exception& e) {
        // The HTTP server reports a port it cannot bind this way.
        _logError(osk::CMessage(kCannotListen, kModule).pushs(where).pushs(e.what()));
        shutdownPlugin();
        return 1;
    }
    tftp->syslog(osk::CException::info, osk::CMessage(kServing, kModule).pushs(where));
    return 0;
}

void CPrometheusExporterPlugin::shutdownPlugin()
{
    _exposer.reset();
    _metrics.reset();
}

} // namespace promexp
