#include "security/rights_thrower.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kCheckFailed = "Failed to pass security check.";
const char* const kNotAMember = "Access denied (not a member).";
const char* const kNoRight = "Access denied (no right).";
} // namespace

CRightsThrower::CRightsThrower(const CDomainID& domain, const CUserAccessToken& token, CAccessRights::right_t right)
{
    const CTableRightsEntry* entry = token.tableRights().find(domain);
    if (!entry)
        throw OSK_SECURITY_EXCEPTION(CMessage(kCheckFailed), CMessage(kNotAMember), "CRightsThrower::CRightsThrower");
    const CAccessRights* any = entry->find(CTableRightsEntry::anyTable);
    if (!any || !any->has(right))
        throw OSK_SECURITY_EXCEPTION(CMessage(kCheckFailed), CMessage(kNoRight), "CRightsThrower::CRightsThrower");
}

} // namespace osk
