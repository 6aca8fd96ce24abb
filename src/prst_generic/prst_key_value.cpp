#include "prst_generic/prst_key_value.h"

CPrstClassSpec CPrstKeyValue::_makeSpec()
{
    CPrstClassSpec spec("CPrstKeyValue", "keyvalue", "osk_keyvalues", true);
    spec.attrColumn("class", "T.KCLASS");
    spec.attrColumn("key", "T.KKEY");
    spec.attrColumn("value", "T.KVALUE");
    return spec;
}

void CPrstKeyValue::place(const std::string& kclass, const std::string& subclass, const std::string& key)
{
    _class.value(kclass);
    _subclass.value(subclass);
    _key.value(key);
}

CPrstKeyValue::list_t CPrstKeyValue::selectByClass(CPrstContext& context, const std::string& kclass,
                                                   const std::string& subclass)
{
    return fastSelectRec(context, "keyvalue.class_subclass", {kclass, subclass});
}

CPrstKeyValue::ptr_t CPrstKeyValue::find(CPrstContext& context, const std::string& kclass, const std::string& subclass,
                                         const std::string& key)
{
    list_t found = fastSelectRec(context, "keyvalue.class_subclass_key", {kclass, subclass, key}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}
