#pragma once

#include <string>

#include "security/domain_memberships_proxy.h"
#include "security/i_secured_object.h"
#include "standard/object.h"

namespace osk {

// Shared implementation of secured objects: the session token, the security
// mode and the computed access result. The persistent subclass stores the
// memberships and answers evalDomainType, commit, refresh and rollback, and
// gives the object's type name and text form.
class CASecuredObjectImpl : public CObject, public CISecuredObject {
public:
    CASecuredObjectImpl() = default;
    CASecuredObjectImpl(const CASecuredObjectImpl&) = default;
    CASecuredObjectImpl& operator=(const CASecuredObjectImpl&) = default;
    ~CASecuredObjectImpl() override = default;

    // Raises "Unable to determine whether or not domain ID %1 represents a
    // role.": only the persistent subclass can look the domain up.
    CDomainID::domain_type evalDomainType(const CDomainID& domain) const override;

    // Stores the token; the object is in super-user mode exactly when the
    // token holds the administrators' domain.
    void clientToken(const CUserAccessToken& token) override;
    const CUserAccessToken& clientToken() const { return _clientToken; }

    // Existing objects: rights are evaluated for class name from the token
    // and the memberships.
    void normalSecurityMode(const std::string& name) override;
    // New objects: the access result is stored by the creator (see the
    // security strategy) and returned unchanged by reEvaluateAccessRights().
    void createObjSecurityMode(const std::string& name) override;
    bool normalMode() const { return _normalMode; }
    bool superUser() const { return _superUser; }
    const std::string& tableName() const { return _tableName; }

    CAccessRights accessResult() const override { return _accessResult; }
    void setAccessResultImpl(const CAccessRights& rights) override { _accessResult = rights; }
    void removeAccessResultImpl() override { _accessResult = CAccessRights(); }

    // In create-object mode the stored access result; otherwise the rights
    // for the stored class name.
    CAccessRights reEvaluateAccessRights() const override;
    // The rights the token holds on this object as an instance of class name:
    // all for a super user or a token holding the administrators' domain;
    // else the rights (on name and on "*") of every token domain that is
    // also one of the object's domains.
    CAccessRights reEvaluateAccessRights(const std::string& name) const override;

    // Rights on a new object of class name: write when some domain of the
    // token grants create on the class (or on "*"), else none. Creating is
    // allowed by create; the creator may then write the new object.
    static CAccessRights createPermitted(const CUserAccessToken& token, const std::string& name);

    // Hands a session's token to the object and stores the session's rights
    // on it: a new object enters create-object mode with createPermitted(),
    // an existing one normal mode with the rights evaluated for name.
    void evaluateForSession(const CUserAccessToken& token, const std::string& name, bool existing);

    // The read check of a session: an existing object whose access result
    // lacks read raises "Unable to read object %1 of type %2."; new objects
    // always pass.
    static void readCheck(const CAccessRights& result, bool existing, int64_t id, const std::string& name);
    // The check before committing: a result without write raises "Cannot
    // commit record %1 of class %2.".
    static void commitCheck(const CAccessRights& result, int64_t id, const std::string& name);

    // The memberships with deferred write-back.
    CDomainMembershipsProxy membershipsProxy() { return CDomainMembershipsProxy(*this); }

protected:
    // Copies the security state of other (not the memberships).
    virtual void _copyAttr(const CASecuredObjectImpl& other);

private:
    CAccessRights _accessResult{CAccessRights::all};
    std::string _tableName{"*"};
    CUserAccessToken _clientToken;
    bool _superUser = true;
    bool _normalMode = true;
};

} // namespace osk
