#pragma once

#include <cstdint>
#include <string>

#include "extended/app_event.h"
#include "standard/string_map.h"

class CPrstUserBase;

// The change of one persistent object as an application event: the kind
// of change ("add", "del", "modify" or "control"), the event class, the
// instance, and a copy of the object's text form taken when the event is
// made (the object itself belongs to its context's thread). The text form
// is the application keys, "object_class" (the class's formal name, or its
// class name for auxiliary records), "object_oid" and the object's
// attributes.
class CPrstObjectEvent : public osk::CAppEvent {
public:
    // Throws for a type text that is no event type.
    CPrstObjectEvent(int64_t serverIndex, const std::string& type, const std::string& eventClass, int64_t instance,
                     const CPrstUserBase& object);

    const std::string& objectClass() const { return _objectClass; }
    int64_t objectOid() const { return _objectOid; }
    const osk::CStringMap& attributes() const { return _attributes; }

    void fields(field_list_t& out) const override;

    // The event type of a type text.
    static event_type typeOf(const std::string& text);

private:
    std::string _objectClass;
    int64_t _objectOid;
    osk::CStringMap _attributes;
};
