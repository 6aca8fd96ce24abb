#include "security/a_secured_object_impl.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kDomainKindUnknown = "Unable to determine whether or not domain ID %1 represents a role.";
const char* const kDomainKindUnknownWhy = "Operation not implemented.";
const char* const kCannotRead = "Unable to read object %1 of type %2.";
const char* const kCannotCommit = "Cannot commit record %1 of class %2.";
const char* const kAccessDenied = "Access denied.";
const char* const kReadModule = "tftp_connector";
const char* const kCommitModule = "prst_generic";
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

CAccessRights CASecuredObjectImpl::createPermitted(const CUserAccessToken& token, const std::string& name)
{
    if (token.createRight(name).has(CAccessRights::create)) return CAccessRights(CAccessRights::write);
    return CAccessRights();
}

void CASecuredObjectImpl::evaluateForSession(const CUserAccessToken& token, const std::string& name, bool existing)
{
    clientToken(token);
    if (existing) {
        normalSecurityMode(name);
        setAccessResultImpl(reEvaluateAccessRights(name));
    } else {
        createObjSecurityMode(name);
        setAccessResultImpl(createPermitted(token, name));
    }
}

void CASecuredObjectImpl::readCheck(const CAccessRights& result, bool existing, int64_t id, const std::string& name)
{
    if (!existing || result.has(CAccessRights::read)) return;
    throw OSK_SECURITY_EXCEPTION_M(CMessage(kCannotRead).push(id).pushs(name), CMessage(kAccessDenied),
                                   "CSecurityStrategy::_readThrow", kReadModule);
}

void CASecuredObjectImpl::commitCheck(const CAccessRights& result, int64_t id, const std::string& name)
{
    if (result.has(CAccessRights::write)) return;
    throw OSK_SECURITY_EXCEPTION_M(CMessage(kCannotCommit).push(id).pushs(name), CMessage(kAccessDenied),
                                   "CPersistentSecuredObject::commit", kCommitModule);
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
