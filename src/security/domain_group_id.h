#pragma once

#include <string>

#include "security/identifier.h"

namespace osk {

// Identifies a group of domains; compared and combined by id like CDomainID.
class CDomainGroupID : public CIdentifier<CDomainGroupID> {
public:
    // A default-built identifier is the unknown group (-1).
    explicit CDomainGroupID(id_t value = -1) : CIdentifier<CDomainGroupID>(value) {}

    std::string idstr() const { return std::to_string(id()); }
    void idstr(const std::string& text) { id(parseIdentifierText(text)); }

    static CDomainGroupID allID() { return CDomainGroupID(0); }
    static CDomainGroupID operatorsID() { return CDomainGroupID(1); }
    static CDomainGroupID deviceSpecificID() { return CDomainGroupID(2); }
    static CDomainGroupID unknownID() { return CDomainGroupID(-1); }
    static const char* allName() { return "All"; }
    static const char* operatorsName() { return "Operators"; }
    static const char* deviceSpecificName() { return "Device Specific"; }

    // Names of the statements that look groups up by id and by name.
    static const char* idStatement() { return "domain_group.id"; }
    static const char* nameStatement() { return "domain_group.name"; }
};

} // namespace osk
