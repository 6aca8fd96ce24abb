#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/prst_object_event.h"

// The change of a persistent object of the TFTP object package (a TFTP
// policy, for one), with the package's event class.
class CPrstTFTPObjectEvent : public CPrstObjectEvent {
public:
    CPrstTFTPObjectEvent(int64_t serverIndex, const std::string& type, const std::string& eventClass,
                         int64_t instance, const CPrstUserBase& object)
        : CPrstObjectEvent(serverIndex, type, eventClass, instance, object)
    {
    }

    static const char* classPackage() { return "package"; }
};
