#include "prst_generic/prst_domain_group.h"

CPrstClassSpec CPrstDomainGroup::_makeSpec()
{
    return CPrstClassSpec("CPrstDomainGroup", "domain_group", "osk_domain_groups", true);
}

CPrstDomainGroup::ptr_t CPrstDomainGroup::findByName(CPrstContext& context, const std::string& name)
{
    list_t found = fastSelectRec(context, "domain_group.name", {name}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}
