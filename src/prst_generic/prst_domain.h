#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_bi_link_attr.h"
#include "prst_generic/prst_domain_name_id.h"
#include "prst_generic/prst_ref_attr.h"
#include "security/domain_id.h"

// A domain: a group of objects and of the users who act on them. Its OID is
// its domain id. It keeps its name also in a name record (the one domain
// names in text are resolved through) and belongs, in order, to domain
// groups. Text attributes: priority, name, description, mdata, type
// ("device" or "role") and groups (group names joined by ",").
class CPrstDomain : public CPersistentSecuredObject<CPrstDomain> {
public:
    explicit CPrstDomain(CPrstContext& context);
    static CPrstClassSpec _makeSpec();

    osk::CDomainID domainID() const;
    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }
    uint32_t priority() const { return _priority.value(); }
    void priority(uint32_t value) { _priority.value(value); }
    osk::CDomainID::domain_type type() const;
    void type(osk::CDomainID::domain_type type) { _type.value(type); }

    // The OIDs of the domain's groups, in the domain's order.
    const std::vector<int64_t>& groups() const { return _groups.targets(); }
    // Sets the groups by name; throws for a name that names no group.
    void groups(const std::vector<std::string>& names);

    // The domain of a name, or null.
    static ptr_t findByName(CPrstContext& context, const std::string& name);
    // The domains of a type, by priority and name.
    static list_t selectByType(CPrstContext& context, osk::CDomainID::domain_type type);

    // "device" or "role"; reading also takes "user_role".
    static std::string typeText(osk::CDomainID::domain_type type);
    static osk::CDomainID::domain_type typeFromText(const std::string& text);

protected:
    void _get(osk::CStringMap& map) const override;
    void _set(const osk::CStringMap& map) override;
    void _beforeWrite() override;
    void _afterLoad() override;
    // Nothing may go on naming a domain that is gone: the objects that
    // belong to it leave it, the accounts given it lose it, and the roles
    // whose domain it is go with it, their capabilities included.
    void _beforeDelete() override;

private:
    void _lookUpGroupNames();
    // Takes the domain's id out of every user's minimum create rights (ids
    // of the user's roles, which lose the domain with its roles).
    void _leaveMinCreateRights();

    CPrstAttr<uint32_t> _priority{*this, "PRIORITY", "priority"};
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstAttr<std::string> _mdata{*this, "MDATA", "mdata"};
    CPrstAttr<int32_t> _type{*this, "DOMAIN_TYPE"};
    CPrstRefAttr<CPrstDomainNameID> _nameId{*this, "NAME_ID_REF"};
    CPrstBiLinkAttr _groups{*this, "osk_bi_domgrp_links", "domains", "groups", CPrstBiLinkAttr::destination};
    // The names of the groups met so far by OID (loaded or set), so that
    // the text form needs no look-up, also after a rollback.
    std::map<int64_t, std::string> _groupNames;
};
