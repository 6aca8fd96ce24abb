#pragma once

#include <cstdint>
#include <string>

namespace osk {
class CStringMap;
}

namespace promexp {

// Where the exporter listens: "prometheus.listen_on" (an IPv4 or IPv6
// address) and "prometheus.port", each with the default of the framework's
// key registry (127.0.0.1 and 9464).
class CExporterSettings {
public:
    // Reads the two keys from a configuration map. Throws "The Prometheus
    // exporter cannot listen on '%1'." when the address is not an IP
    // address.
    static CExporterSettings fromConfig(const osk::CStringMap& config);

    const std::string& address() const { return _address; }
    uint16_t port() const { return _port; }
    // The listening address as the HTTP server takes it: "127.0.0.1:9464",
    // "[::1]:9464".
    std::string bindAddress() const;

private:
    std::string _address;
    uint16_t _port = 0;
};

} // namespace promexp
