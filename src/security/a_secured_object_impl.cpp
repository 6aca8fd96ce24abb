#include "security/a_secured_object_impl.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kDomainKindUnknown = "Unable to determine whether or not domain ID %1 represents a role.";
const char* const kDomainKindUnknownWhy = "Operation not implemented.";
} // namespace

CDomainID::domain_type CASecuredObjectImpl::evalDomainType(const CDomainID& domain) const
{
    throw OSK_SECURITY_EXCEPTION(CMessage(kDomainKindUnknown).push(domain.id()), CMessage(kDomainKindUnknownWhy),
                                 "CASecuredObjectImpl::evalDomainType");
}

void CASecuredObjectImpl::clientToken(const CUserAccessToken& token)
{
    _clientToken = token;
    _superUser = token.tableRights().find(CDomainID::superUsersID()) != nullptr;
}

void CASecuredObjectImpl::normalSecurityMode(const std::string& name)
{
    _tableName = name;
    _normalMode = true;
}

void CASecuredObjectImpl::createObjSecurityMode(const std::string& name)
{
    _tableName = name;
    _normalMode = false;
}

CAccessRights CASecuredObjectImpl::reEvaluateAccessRights() const
{
    if (!_normalMode) return _accessResult;
    return reEvaluateAccessRights(_tableName);
}

CAccessRights CASecuredObjectImpl::reEvaluateAccessRights(const std::string& name) const
{
    if (_superUser) return CAccessRights(CAccessRights::all);
    CAccessRights result;
    const CTableRights& rights = _clientToken.tableRights();
    const CDomainMemberships& domains = memberships();
    for (const auto& domain : rights) {
        if (domain.first == CDomainID::superUsersID()) return CAccessRights(CAccessRights::all);
        if (domains.findID(domain.first) && rights.has(domain.first, name))
            result |= domain.second.effective(name);
    }
    return result;
}

void CASecuredObjectImpl::_copyAttr(const CASecuredObjectImpl& other)
{
    _accessResult = other._accessResult;
    _tableName = other._tableName;
    _clientToken = other._clientToken;
    _superUser = other._superUser;
    _normalMode = other._normalMode;
}

} // namespace osk
