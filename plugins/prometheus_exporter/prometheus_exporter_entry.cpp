#include "prometheus_exporter/prometheus_exporter_plugin.h"

#include "standard/tracked_factory.h"

extern "C" {

CPlugin* pluginCreator() { return osk::CTrackedFactory::create<promexp::CPrometheusExporterPlugin>(); }

void pluginDestroyer(CPlugin* plugin) { osk::CTrackedFactory::destroy(plugin); }

} // extern "C"
