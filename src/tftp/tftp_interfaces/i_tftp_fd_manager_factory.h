#pragma once

#include "standard/general_ptr.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"

class CITFTPController;

// What a descriptor-manager plug-in offers the service: the controller asks
// every loaded plug-in that conforms to the interface named by
// interfaceName() to create its manager, then registers the manager under
// each of its virtual file system names.
class CITFTPFDManagerFactory {
public:
    // The plug-in interface name under which factories are found.
    static const char* interfaceName() { return "CITFTPFDManagerFactory"; }

    virtual ~CITFTPFDManagerFactory() = default;

    // A new manager working for controller (which may be null in tests).
    // Throws when the manager cannot be created.
    virtual osk::CGeneralPtr<CITFTPFDManager> createFDManager(CITFTPController* controller) = 0;
};
