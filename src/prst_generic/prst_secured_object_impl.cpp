#include "prst_generic/prst_secured_object_impl.h"

#include "security/security_exception.h"

namespace {
const char* const kDomainKindUnknown = "Unable to determine whether or not domain ID %1 represents a role.";
const char* const kNoSuchDomain = "No such domain.";
} // namespace

CPrstSecuredObjectImpl::CPrstSecuredObjectImpl(CPrstContext& context)
    : CIPersistentObject<CPrstSecuredObjectImpl>(context)
{
    _memberships.target(CPrstDomainMemberships::createTransient(context));
}

CPrstClassSpec CPrstSecuredObjectImpl::_makeSpec()
{
    return CPrstClassSpec("CPrstSecuredObjectImpl", "", "osk_secured_object", false);
}

void CPrstSecuredObjectImpl::_afterLoad()
{
    if (!_memberships.target()) _memberships.target(CPrstDomainMemberships::createTransient(context()));
}

osk::CDomainID::domain_type CPrstSecuredObjectImpl::evalDomainType(const osk::CDomainID& domain) const
{
    auto rows = context().transaction().select("SELECT DOMAIN_TYPE FROM osk_domains WHERE OID = ?", {domain.id()});
    if (!rows->fetch())
        throw OSK_SECURITY_EXCEPTION(osk::CMessage(kDomainKindUnknown).push(domain.id()), osk::CMessage(kNoSuchDomain),
                                     "CPrstSecuredObjectImpl::evalDomainType");
    return static_cast<osk::CDomainID::domain_type>(rows->asInt64("DOMAIN_TYPE"));
}
