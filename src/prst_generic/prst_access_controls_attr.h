#pragma once

#include "prst_generic/prst_account_domains.h"
#include "prst_generic/prst_relation.h"
#include "prst_generic/prst_user_base.h"
#include "security/access_id.h"

// The domains of an account as its access controls (AccessControl records
// whose access id is the account's OID): read with the account; when they
// were changed, the account's commit deletes the records of the domains
// that went and creates records for the domains that came, so that the
// records match the set. Deleting the account deletes its records.
template <class AccessControl>
class CPrstAccessControlsAttr : public CPrstRelation {
public:
    using named_t = CPrstAccountDomains::named_t;

    CPrstAccessControlsAttr(CPrstUserBase& owner, CPrstAccountDomains::kind_t kind)
        : CPrstRelation(owner), _kind(kind)
    {
    }

    CPrstAccountDomains::kind_t kind() const { return _kind; }
    const named_t& domains() const { return _domains; }
    void domains(const named_t& domains)
    {
        _domains = domains;
        _changed = true;
    }

    void afterLoad() override
    {
        _domains.clear();
        CPrstAccountDomains names(owner().context(), _kind);
        for (const osk::CDomainID& domain : AccessControl::findDomains(owner().context(), _account()))
            _domains[domain] = names.nameOf(domain);
        _saved = _domains;
        _changed = false;
    }
    void afterWrite() override
    {
        if (!_changed) return;
        named_t missing = _domains;
        for (auto& control : AccessControl::selectByAccess(owner().context(), _account())) {
            if (missing.erase(control->domainID()) == 0) control->deletePersistent();
        }
        for (const auto& domain : missing) {
            auto control = AccessControl::createTransient(owner().context());
            control->accessID(_account());
            control->domainID(domain.first);
            control->commit();
        }
        _saved = _domains;
        _changed = false;
    }
    void beforeDelete() override
    {
        for (auto& control : AccessControl::selectByAccess(owner().context(), _account())) control->deletePersistent();
    }
    void rollback() override
    {
        _domains = _saved;
        _changed = false;
    }

private:
    osk::CAccessID _account() const { return osk::CAccessID(owner().oid()); }

    CPrstAccountDomains::kind_t _kind;
    named_t _domains;
    named_t _saved;
    bool _changed = false;
};
