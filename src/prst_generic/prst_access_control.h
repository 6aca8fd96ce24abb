#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "prst_generic/first_class_object.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_fk_attr.h"
#include "prst_generic/prst_generic_messages.h"
#include "security/access_id.h"
#include "security/domain_id.h"

// An access control puts account A (by its access id, which is its OID)
// into domain D: DOMAIN_ID is the domain id, ACCOUNT_REF and DOMAIN_REF the
// OIDs of the account's and the domain's records. Access controls are not
// secured: who may change an account may change its domains.
//
// T is the concrete class. It names the text attribute of the domain id
// (kDomainKey), the statement that selects the access controls of an access
// id (kByAccessStatement) and the OID of D's record of a domain id
// (targetOid). A new access control set from text needs the domain id and
// the access id; a missing domain id is reported as 'domain_id' whatever
// the attribute's text name.
template <class T, class A, class D>
class CPrstAccessControl : public CFirstClassObject<T> {
public:
    osk::CAccessID accessID() const { return _accessId.value(); }
    void accessID(const osk::CAccessID& account) { _accessId.value(account); }
    osk::CDomainID domainID() const { return _domainId.value(); }
    void domainID(const osk::CDomainID& domain) { _domainId.value(domain); }

    int64_t accountOid() const { return _accountRef.oid(); }
    int64_t targetOid() const { return _targetRef.oid(); }
    // The account's and the domain's records, or null.
    osk::CTrackedPtr<A> account() const { return A::find(this->context(), _accountRef.oid()); }
    osk::CTrackedPtr<D> target() const { return D::find(this->context(), _targetRef.oid()); }

    // The access controls of an account, by domain id.
    static typename CIPersistentObject<T>::list_t selectByAccess(CPrstContext& context,
                                                                 const osk::CAccessID& account)
    {
        return CIPersistentObject<T>::fastSelectRec(context, T::kByAccessStatement, {account.id()});
    }
    // The domains of an account, in id order.
    static std::vector<osk::CDomainID> findDomains(CPrstContext& context, const osk::CAccessID& account)
    {
        std::vector<osk::CDomainID> domains;
        for (const auto& control : selectByAccess(context, account)) domains.push_back(control->domainID());
        return domains;
    }

protected:
    explicit CPrstAccessControl(CPrstContext& context) : CFirstClassObject<T>(context) {}

    // A new access control needs both its keys.
    void _set(const osk::CStringMap& map) override
    {
        if (!this->existing()) {
            if (!map.defined(T::kDomainKey)) _refuse(CPrstGenericMessages::missingDomainIdKey);
            if (!map.defined("access_id")) _refuse(CPrstGenericMessages::missingAccessIdKey);
        }
        CFirstClassObject<T>::_set(map);
    }
    void _beforeWrite() override
    {
        CFirstClassObject<T>::_beforeWrite();
        _accountRef.oid(accessID().id());
        _targetRef.oid(T::targetOid(this->context(), domainID()));
    }

private:
    [[noreturn]] static void _refuse(const char* why)
    {
        using M = CPrstGenericMessages;
        throw OSK_EXCEPTION(osk::CMessage(M::cannotSetAccessControl, M::module), osk::CMessage(why, M::module),
                            "CPrstAccessControl::_set", M::module);
    }

    CPrstAttr<osk::CDomainID> _domainId{*this, "DOMAIN_ID", T::kDomainKey};
    CPrstAttr<osk::CAccessID> _accessId{*this, "ACCESS_ID", "access_id"};
    CPrstFKAttr _accountRef{*this, "ACCOUNT_REF"};
    CPrstFKAttr _targetRef{*this, "DOMAIN_REF"};
};
