#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_domain_id.h"
#include "prst_generic/prst_owned_link_attr.h"
#include "security/domain_memberships.h"

// The domains of one secured object as records: one CPrstDomainID row per
// domain, linked in order through osk_domain_mships_links. The rows are
// written anew from the set at every commit.
//
// The text form of the set is the domains' names joined by "," (their
// decimal ids when the context serializes numerically); the names are
// looked up when the set is loaded or set from text (the administrators'
// domain, which a new set holds, is known by its fixed name).
class CPrstDomainMemberships : public CIPersistentObject<CPrstDomainMemberships> {
public:
    explicit CPrstDomainMemberships(CPrstContext& context);
    static CPrstClassSpec _makeSpec();

    const osk::CDomainMemberships& domains() const { return _domains; }
    void domains(const osk::CDomainMemberships& domains);

    // The secured object the domains belong to; set before a commit.
    void source(int64_t oid, const std::string& table);

    // Throws "Cannot serialize domain to text." when a domain has no name
    // or several.
    std::string domainsText() const;
    // Replaces the domains (the administrators' domain stays); throws
    // "Cannot serialize secured object from text." for an unknown domain.
    void domainsText(const std::string& text);

protected:
    void _beforeWrite() override;
    void _afterLoad() override;

private:
    struct name_t {
        size_t matches;
        std::string name;
    };
    // Looks up the names of the domains not named yet.
    void _lookUpNames();
    osk::CDomainID _resolve(const std::string& item) const;

    osk::CDomainMemberships _domains;
    std::map<int64_t, name_t> _names;
    int64_t _sourceOid = noOid;
    std::string _sourceTable;
    CPrstOwnedLinkAttr<CPrstDomainID> _ids{*this, "osk_domain_mships_links", "domain_ids", "domain_id",
                                           CPrstLinkRows::ordered};
};
