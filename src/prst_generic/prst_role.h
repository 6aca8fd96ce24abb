#pragma once

#include <string>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_capability.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_owned_link_attr.h"
#include "prst_generic/prst_ref_attr.h"
#include "security/domain_id.h"
#include "security/table_rights_entry.h"

// A role: the rights that the members of one domain (the role's own domain,
// by reference) hold, as capabilities linked by their target class. The
// role's name and description are those of its domain.
//
// Text attributes: name and description (a new role without a domain gets
// a new role domain of that name), domain_oid (the domain, by OID) and
// capabilities (the rights text: items of a class, ":" and rights, joined
// by "/"). Setting capabilities creates, updates and deletes capabilities
// so that the role grants exactly the rights of the text, read on domain
// always among them.
class CPrstRole : public CPersistentSecuredObject<CPrstRole> {
public:
    explicit CPrstRole(CPrstContext& context) : CPersistentSecuredObject<CPrstRole>(context) {}
    static CPrstClassSpec _makeSpec();

    // The role's domain; throws when the role has none yet.
    CPrstDomain& domain() const;
    osk::CDomainID domainID() const;
    // Makes the domain of an OID the role's domain.
    void domainOid(int64_t oid);

    std::string name() const;
    void name(const std::string& name);
    std::string description() const;
    void description(const std::string& text);

    // The capability on a class, or null.
    CPrstCapability* capability(const std::string& targetClass) const;
    // Grants the rights of every capability into entry.
    void findRights(osk::CTableRightsEntry& entry) const;
    // The rights as text, and the reverse (see above).
    std::string capabilities() const;
    void capabilities(const std::string& text);

    // The roles of a domain (at most maxObjects), and the role of a name or
    // null.
    static list_t selectByDomain(CPrstContext& context, const osk::CDomainID& domain, size_t maxObjects = unlimited);
    static ptr_t findByName(CPrstContext& context, const std::string& name);

protected:
    void _get(osk::CStringMap& map) const override;
    void _set(const osk::CStringMap& map) override;
    void _beforeWrite() override;

private:
    // The domain, made a new role domain when there is none.
    CPrstDomain& _domainToSet();

    CPrstRefAttr<CPrstDomain> _domain{*this, "DOMAIN_REF", CPrstRefAttr<CPrstDomain>::notOwning};
    CPrstOwnedLinkAttr<CPrstCapability> _capabilities{*this, "osk_role_links", "capabilities", "role",
                                                      CPrstLinkRows::byName};
};
