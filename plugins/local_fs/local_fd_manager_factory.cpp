#include "local_fs/local_fd_manager_factory.h"

#include "local_fs/local_fd_manager.h"

namespace localfs {

osk::CGeneralPtr<CITFTPFDManager> CLocalFDManagerFactory::createFDManager(CITFTPController* controller)
{
    return osk::CGeneralPtr<CITFTPFDManager>(new CLocalFDManager(controller));
}

} // namespace localfs
