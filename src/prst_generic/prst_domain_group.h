#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_bi_link_attr.h"

// A named, ordered group of domains (the source side of the link that
// CPrstDomain's groups are the other side of). Text attributes: name and
// description.
class CPrstDomainGroup : public CPersistentSecuredObject<CPrstDomainGroup> {
public:
    explicit CPrstDomainGroup(CPrstContext& context) : CPersistentSecuredObject<CPrstDomainGroup>(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }

    // The OIDs of the group's domains, in the group's order.
    const std::vector<int64_t>& domains() const { return _domains.targets(); }
    void domains(const std::vector<int64_t>& oids) { _domains.targets(oids); }

    // The group of a name, or null.
    static ptr_t findByName(CPrstContext& context, const std::string& name);

private:
    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstBiLinkAttr _domains{*this, "osk_bi_domgrp_links", "domains", "groups", CPrstBiLinkAttr::source};
};
