#include "prst_generic/prst_domain_id.h"

#include "security/secured_statement_args.h"

CPrstClassSpec CPrstDomainID::_makeSpec()
{
    return CPrstClassSpec("CPrstDomainID", "", "osk_domain_id", false);
}

osk::CDomainID CPrstDomainID::domainID() const
{
    return osk::CDomainID(_domainId.value(), static_cast<osk::CDomainID::domain_type>(_domainType.value()));
}

void CPrstDomainID::assign(const osk::CDomainID& domain, int64_t sourceOid, const std::string& sourceTable)
{
    _domainId.value(domain.id());
    _domainType.value(domain.domainType());
    _sourcePk.value(sourceOid);
    _sourceTable.value(osk::CSecuredStatementArgs::sourceTableValue(domain.id(), sourceTable));
}
