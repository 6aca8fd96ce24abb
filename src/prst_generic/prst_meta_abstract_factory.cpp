#include "prst_generic/prst_meta_abstract_factory.h"

#include <utility>

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"

using M = CPrstGenericMessages;

void CPrstMetaAbstractFactory::_register(const CPrstClassSpec& spec, creator_t create, loader_t load)
{
    if (!exists(spec.className())) _order.push_back(spec.className());
    _classes[spec.className()] = entry_t{&spec, std::move(create), std::move(load)};
}

const CPrstMetaAbstractFactory::entry_t& CPrstMetaAbstractFactory::_entry(const std::string& className) const
{
    auto found = _classes.find(className);
    if (found == _classes.end())
        throw OSK_EXCEPTION(osk::CMessage(M::unknownClass, M::module).pushs(className),
                            osk::CMessage(M::noSuchClass, M::module), "CPrstMetaAbstractFactory::_entry", M::module);
    return found->second;
}

const CPrstClassSpec& CPrstMetaAbstractFactory::spec(const std::string& className) const
{
    return *_entry(className).spec;
}

CPrstMetaAbstractFactory::object_t CPrstMetaAbstractFactory::createTransient(const std::string& className,
                                                                             CPrstContext& context) const
{
    return _entry(className).create(context);
}

CPrstMetaAbstractFactory::object_t CPrstMetaAbstractFactory::load(const std::string& className, CPrstContext& context,
                                                                  int64_t oid) const
{
    return _entry(className).load(context, oid);
}

std::string CPrstMetaAbstractFactory::classOfFormalName(const std::string& formalName) const
{
    if (formalName.empty()) return std::string();
    for (const auto& [name, entry] : _classes)
        if (entry.spec->formalName() == formalName) return name;
    return std::string();
}
