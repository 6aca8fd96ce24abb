#include "prst_generic/prst_device_account.h"

CPrstClassSpec CPrstDeviceAccount::_makeSpec()
{
    CPrstClassSpec spec("CPrstDeviceAccount", "account", "osk_accounts", true);
    spec.attrColumn("class", "T.ACLASS");
    return spec;
}

CPrstDeviceAccount::ptr_t CPrstDeviceAccount::findByNameClass(CPrstContext& context, const std::string& name,
                                                              const std::string& accountClass)
{
    list_t found = fastSelectRec(context, "device_account.name_class", {name, accountClass}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}
