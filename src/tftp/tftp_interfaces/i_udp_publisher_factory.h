#pragma once

#include "standard/general_ptr.h"
#include "tftp/tftp_interfaces/i_udp_publisher.h"

class CITFTPController;

// What the UDP event publisher plug-in offers the service: the controller
// asks the first loaded plug-in conforming to interfaceName() for its
// publisher while it starts.
class CIUDPPublisherFactory {
public:
    using publisher_ptr = osk::CGeneralPtr<CIUDPPublisher, osk::CMTOwnerPolicy>;

    static const char* interfaceName() { return "CIUDPPublisherFactory"; }

    virtual ~CIUDPPublisherFactory() = default;

    // A new publisher working for controller, configured from its
    // configuration. Throws when it cannot be created. The controller
    // releases it before the plug-in is unloaded.
    virtual publisher_ptr createUDPPublisher(CITFTPController* controller) = 0;
};
