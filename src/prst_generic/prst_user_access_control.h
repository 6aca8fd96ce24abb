#pragma once

#include <cstdint>

#include "prst_generic/prst_access_control.h"
#include "prst_generic/prst_role.h"

class CPrstUserAccount;

// Gives a user account a role. Text attributes: access_id and role_id (the
// domain id of the role).
class CPrstUserAccessControl : public CPrstAccessControl<CPrstUserAccessControl, CPrstUserAccount, CPrstRole> {
public:
    static constexpr const char* kDomainKey = "role_id";
    static constexpr const char* kByAccessStatement = "user_access_control.access_id";

    explicit CPrstUserAccessControl(CPrstContext& context) : CPrstAccessControl(context) {}
    static CPrstClassSpec _makeSpec();

    // The OID of the role of the domain, or no target when it has none.
    static int64_t targetOid(CPrstContext& context, const osk::CDomainID& domain);
};
