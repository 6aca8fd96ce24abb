#pragma once

#include "tftp/tftp_interfaces/i_tftp_fd_manager_factory.h"

namespace localfs {

// Creates local file system managers (CLocalFDManager) for the controller.
// The plug-in shell that offers it to the service derives from it.
class CLocalFDManagerFactory : public CITFTPFDManagerFactory {
public:
    osk::CGeneralPtr<CITFTPFDManager> createFDManager(CITFTPController* controller) override;
};

} // namespace localfs
