#pragma once

#include "tftp/tftp_interfaces/i_udp_publisher_factory.h"
#include "udp_publisher/udp_publisher.h"

namespace udppub {

// Creates the running publisher from the service's configuration:
// "udp_publisher.max_history" (events held, default 1000),
// "udp_publisher.latency" (duration between sends, default 100ms; 0 sends
// each event at once) and "udp_publisher.subscribers.file" (subscribers
// read at start; a relative path is taken in the controller's var
// directory; empty: none).
class CUDPPublisherFactory : public CIUDPPublisherFactory {
public:
    static const char* maxHistoryKey() { return "udp_publisher.max_history"; }
    static const char* latencyKey() { return "udp_publisher.latency"; }
    static const char* subscriberFileKey() { return "udp_publisher.subscribers.file"; }

    publisher_ptr createUDPPublisher(CITFTPController* controller) override;

    // The settings the configuration gives (defaults without a controller).
    static CUDPPublisher::settings_t settings(CITFTPController* controller);
};

} // namespace udppub
