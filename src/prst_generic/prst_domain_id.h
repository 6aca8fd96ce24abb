#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/i_persistent_object.h"
#include "prst_generic/prst_attr.h"
#include "security/domain_id.h"

// One domain of one secured object's memberships: the domain's id and type,
// and the object it belongs to (its OID, and the domain id with the
// object's table in the form that precompiled secured statements match).
class CPrstDomainID : public CIPersistentObject<CPrstDomainID> {
public:
    explicit CPrstDomainID(CPrstContext& context) : CIPersistentObject<CPrstDomainID>(context) {}
    static CPrstClassSpec _makeSpec();

    osk::CDomainID domainID() const;
    // Sets the domain and the object it belongs to.
    void assign(const osk::CDomainID& domain, int64_t sourceOid, const std::string& sourceTable);

    int64_t sourceOid() const { return _sourcePk.value(); }
    const std::string& sourceTable() const { return _sourceTable.value(); }

private:
    CPrstAttr<int64_t> _domainId{*this, "DOMAIN_ID", "domain_id", -1};
    CPrstAttr<int64_t> _sourcePk{*this, "SRC_PK", "src_pk", -1};
    CPrstAttr<std::string> _sourceTable{*this, "SRC_TABLE", "src_table"};
    CPrstAttr<int32_t> _domainType{*this, "DOMAIN_TYPE", "domain_type"};
};
