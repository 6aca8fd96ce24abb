#include "prst_generic/prst_object_event.h"

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_user_base.h"

using M = CPrstGenericMessages;

namespace {
const std::string& classNameOf(const CPrstUserBase& object)
{
    const CPrstClassSpec& spec = object.classSpec();
    return spec.formalName().empty() ? spec.className() : spec.formalName();
}
} // namespace

CPrstObjectEvent::CPrstObjectEvent(int64_t serverIndex, const std::string& type, const std::string& eventClass,
                                   int64_t instance, const CPrstUserBase& object)
    : osk::CAppEvent(serverIndex, typeOf(type), eventClass, instance), _objectClass(classNameOf(object)),
      _objectOid(object.oid()), _attributes(object.attributes())
{
}

osk::CAppEvent::event_type CPrstObjectEvent::typeOf(const std::string& text)
{
    for (event_type type : {add, del, modify, control})
        if (typeText(type) == text) return type;
    throw OSK_EXCEPTION(osk::CMessage(M::cannotMakeEvent, M::module),
                        osk::CMessage(M::unknownEventType, M::module).pushs(text), "CPrstObjectEvent::typeOf",
                        M::module);
}

void CPrstObjectEvent::fields(field_list_t& out) const
{
    osk::CAppEvent::fields(out);
    out.emplace_back("object_class", _objectClass);
    out.emplace_back("object_oid", std::to_string(_objectOid));
    for (const auto& entry : _attributes) out.emplace_back(entry.first, entry.second);
}
