#pragma once

#include <cstdint>

#include "prst_generic/prst_access_control.h"
#include "prst_generic/prst_domain.h"

class CPrstDeviceAccount;

// Puts a device account into a domain. Text attributes: access_id and
// domain_id.
class CPrstDeviceAccessControl
    : public CPrstAccessControl<CPrstDeviceAccessControl, CPrstDeviceAccount, CPrstDomain> {
public:
    static constexpr const char* kDomainKey = "domain_id";
    static constexpr const char* kByAccessStatement = "access_control.access_id";

    explicit CPrstDeviceAccessControl(CPrstContext& context) : CPrstAccessControl(context) {}
    static CPrstClassSpec _makeSpec();

    // A domain's record is the domain itself: its OID is its id.
    static int64_t targetOid(CPrstContext& context, const osk::CDomainID& domain);
};
