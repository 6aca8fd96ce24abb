#include "prst_generic/prst_device_access_control.h"

#include "prst_generic/prst_device_account.h"

CPrstClassSpec CPrstDeviceAccessControl::_makeSpec()
{
    return CPrstClassSpec("CPrstDeviceAccessControl", "access_control", "osk_access_control", false);
}

int64_t CPrstDeviceAccessControl::targetOid(CPrstContext&, const osk::CDomainID& domain) { return domain.id(); }
