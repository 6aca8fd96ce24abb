#pragma once

#include "prst_generic/first_class_object.h"
#include "prst_generic/prst_ref_attr.h"
#include "prst_generic/prst_secured_object_impl.h"

// A persistent object that belongs to domains: its SECURED_REF points to
// its security record, which keeps its memberships; the text attribute
// "domains" reads and writes them by name.
//
// The object is evaluated for the context's token when it is made (a new
// object: write when the token may create the class) and again when it is
// loaded (an existing object: the rights the token's domains hold on the
// class where they are also the object's). commit() and deletePersistent()
// refuse, with nothing written, when that result lacks write.
template <class T>
class CPersistentSecuredObject : public CFirstClassObject<T> {
public:
    CPrstSecuredObjectImpl& secured() const { return *_secured.target(); }
    const osk::CDomainMemberships& memberships() const { return secured().memberships(); }
    void memberships(const osk::CDomainMemberships& domains) { secured().memberships(domains); }
    osk::CAccessRights accessResult() const { return secured().accessResult(); }

    // Evaluates the object for a session's token (see the security
    // strategy).
    void evaluateForSession(const osk::CUserAccessToken& token)
    {
        secured().evaluateForSession(token, CIPersistentObject<T>::spec().formalName(), this->existing());
    }

protected:
    explicit CPersistentSecuredObject(CPrstContext& context) : CFirstClassObject<T>(context)
    {
        _secured.target(CPrstSecuredObjectImpl::createTransient(context));
        evaluateForSession(context.token());
    }

    void _get(osk::CStringMap& map) const override
    {
        CFirstClassObject<T>::_get(map);
        map.set_string("domains", secured().domainsText());
    }
    void _set(const osk::CStringMap& map) override
    {
        CFirstClassObject<T>::_set(map);
        if (map.defined("domains")) secured().domainsText(map.get_string("domains"));
    }
    void _checkWrite() const override
    {
        osk::CASecuredObjectImpl::commitCheck(accessResult(), this->oid(), CIPersistentObject<T>::spec().formalName());
    }
    void _beforeWrite() override
    {
        CFirstClassObject<T>::_beforeWrite();
        secured().source(this->oid(), CIPersistentObject<T>::spec().table());
    }
    void _afterLoad() override
    {
        CFirstClassObject<T>::_afterLoad();
        // Records written before security records existed have none yet.
        if (!_secured.target()) _secured.target(CPrstSecuredObjectImpl::createTransient(this->context()));
        evaluateForSession(this->context().token());
    }

private:
    CPrstRefAttr<CPrstSecuredObjectImpl> _secured{*this, "SECURED_REF"};
};
