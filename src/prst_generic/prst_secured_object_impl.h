#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_domain_memberships.h"
#include "prst_generic/prst_ref_attr.h"
#include "security/a_secured_object_impl.h"

// The security record of a secured object (the row its SECURED_REF points
// to): the object's memberships, kept in the database, and the security
// state of the session that uses the object (token, mode, access result).
class CPrstSecuredObjectImpl : public osk::CASecuredObjectImpl, public CIPersistentObject<CPrstSecuredObjectImpl> {
public:
    explicit CPrstSecuredObjectImpl(CPrstContext& context);
    static CPrstClassSpec _makeSpec();

    std::string typeName() const override { return "CPrstSecuredObjectImpl"; }
    std::string string() const override { return CPrstUserBase::string(); }
    void string(const std::string& text) override { CPrstUserBase::string(text); }

    const osk::CDomainMemberships& memberships() const override { return _memberships->domains(); }
    void memberships(const osk::CDomainMemberships& domains) override { _memberships->domains(domains); }
    // Looks the domain up among the domains: a role or a device domain.
    osk::CDomainID::domain_type evalDomainType(const osk::CDomainID& domain) const override;

    void commit() override { CPrstUserBase::commit(); }
    void refresh() override { CPrstUserBase::refresh(); }
    void rollback() override { CPrstUserBase::rollback(); }

    // The secured object the record belongs to; set before a commit.
    void source(int64_t oid, const std::string& table) { _memberships->source(oid, table); }

    std::string domainsText() const { return _memberships->domainsText(); }
    void domainsText(const std::string& text) { _memberships->domainsText(text); }

protected:
    void _afterLoad() override;

private:
    CPrstRefAttr<CPrstDomainMemberships> _memberships{*this, "DOM_MEMBERSHIPS_REF"};
};
