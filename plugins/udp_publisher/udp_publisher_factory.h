#pragma once

#include <string>

#include "extended/config_names.h"
#include "tftp/tftp_interfaces/i_udp_publisher_factory.h"
#include "udp_publisher/udp_publisher.h"

namespace udppub {

// Creates the running publisher from the service's configuration:
// "udp_publisher.max_history" (events held), "udp_publisher.latency"
// (duration between sends; 0 sends each event at once) and
// "udp_publisher.subscribers.file" (subscribers read at start; a relative
// path is taken in the controller's var directory; empty: none), each with
// the default of the framework's key registry.
class CUDPPublisherFactory : public CIUDPPublisherFactory {
public:
    static std::string maxHistoryKey() { return osk::CConfigNames::udpMaxHistory(); }
    static std::string latencyKey() { return osk::CConfigNames::udpLatency(); }
    static std::string subscriberFileKey() { return osk::CConfigNames::udpSubscribersFile(); }

    publisher_ptr createUDPPublisher(CITFTPController* controller) override;

    // The settings the configuration gives (defaults without a controller).
    static CUDPPublisher::settings_t settings(CITFTPController* controller);
};

} // namespace udppub
