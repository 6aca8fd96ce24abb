#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"

// The name of a domain by its id: the record that domain names in text are
// resolved through.
class CPrstDomainNameID : public CIPersistentObject<CPrstDomainNameID> {
public:
    explicit CPrstDomainNameID(CPrstContext& context) : CIPersistentObject<CPrstDomainNameID>(context) {}
    static CPrstClassSpec _makeSpec();

    int64_t domainId() const { return _domainId.value(); }
    void domainId(int64_t id) { _domainId.value(id); }
    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }

private:
    CPrstAttr<int64_t> _domainId{*this, "DOMAIN_ID", "", -1};
    CPrstAttr<std::string> _name{*this, "NAME"};
};
