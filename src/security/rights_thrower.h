#pragma once

#include "security/access_rights.h"
#include "security/domain_id.h"
#include "security/user_access_token.h"

namespace osk {

// The check that guards privileged console commands: constructing it raises
// CSecurityException unless the token is a member of the domain and that
// domain grants the right on every class ("*").
class CRightsThrower {
public:
    CRightsThrower(const CDomainID& domain, const CUserAccessToken& token, CAccessRights::right_t right);
};

} // namespace osk
