#include "prst_generic/prst_capability.h"

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"

using M = CPrstGenericMessages;

CPrstClassSpec CPrstCapability::_makeSpec()
{
    CPrstClassSpec spec("CPrstCapability", "capability", "osk_capability", true);
    spec.attrColumn("target_class", "T.TARGET_CLASS_NAME");
    return spec;
}

CPrstCapability::list_t CPrstCapability::selectByRole(CPrstContext& context, const osk::CDomainID& role)
{
    return fastSelectRec(context, "capability.role", {role.id()});
}

CPrstCapability::ptr_t CPrstCapability::find(CPrstContext& context, const osk::CDomainID& role,
                                             const std::string& targetClass)
{
    list_t found = fastSelectRec(context, "capability.role_class", {role.id(), targetClass}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

void CPrstCapability::_set(const osk::CStringMap& map)
{
    if (!existing() && !map.defined("rights"))
        throw OSK_EXCEPTION(osk::CMessage(M::cannotSetRights, M::module), osk::CMessage(M::missingRightsKey, M::module),
                            "CPrstCapability::_set", M::module);
    CPersistentSecuredObject<CPrstCapability>::_set(map);
}
