#pragma once

#include <string>

#include "security/access_rights.h"
#include "security/domain_id.h"
#include "security/domain_memberships.h"
#include "security/user_access_token.h"

namespace osk {

// Every object that can be secured: it belongs to domains (its memberships),
// receives the token of the session that uses it and keeps the rights that
// session holds on it (the access result).
class CISecuredObject {
public:
    virtual ~CISecuredObject() = default;

    // The memberships, as stored by the persistent object.
    virtual const CDomainMemberships& memberships() const = 0;
    virtual void memberships(const CDomainMemberships& domains) = 0;
    // Whether the domain is a role or a device domain.
    virtual CDomainID::domain_type evalDomainType(const CDomainID& domain) const = 0;

    virtual void commit() = 0;
    virtual void refresh() = 0;
    virtual void rollback() = 0;

    virtual void clientToken(const CUserAccessToken& token) = 0;
    virtual void normalSecurityMode(const std::string& name) = 0;
    virtual void createObjSecurityMode(const std::string& name) = 0;

    virtual CAccessRights accessResult() const = 0;
    virtual void setAccessResultImpl(const CAccessRights& rights) = 0;
    virtual void removeAccessResultImpl() = 0;
    virtual CAccessRights reEvaluateAccessRights() const = 0;
    virtual CAccessRights reEvaluateAccessRights(const std::string& name) const = 0;
};

} // namespace osk
