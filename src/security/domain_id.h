#pragma once

#include <cstdint>
#include <string>

#include "security/identifier.h"

namespace osk {

// Identifies a domain: a group of objects and of the users who may act on
// them. Order and equality use the id only; the domain type rides along.
class CDomainID : public CIdentifier<CDomainID> {
public:
    enum domain_type : int32_t {
        device = 0,
        user_role = 1,
    };

    // A default-built identifier is the unknown domain (-1).
    explicit CDomainID(id_t value = -1, domain_type type = device)
        : CIdentifier<CDomainID>(value), _domainType(type)
    {
    }

    domain_type domainType() const { return _domainType; }
    void domainType(domain_type type) { _domainType = type; }

    // Decimal text of the id, and the reverse (raises on text that is not a
    // decimal number).
    std::string idstr() const;
    void idstr(const std::string& text);

    // Record text with the keys "id" (decimal) and "type" (type text).
    std::string string() const;

    // "device" or "user_role"; any other value raises "Illegal domain type %1.".
    static std::string typeString(domain_type type);
    // "device" and the empty text give device, "user_role" gives user_role;
    // anything else raises "Illegal domain type '%1'.".
    static domain_type typeValue(const std::string& text);

    static CDomainID superUsersID() { return CDomainID(0, user_role); }
    static CDomainID allUsersID() { return CDomainID(1, user_role); }
    static CDomainID unknownID() { return CDomainID(-1); }
    static const char* superUsersName() { return "Administrators"; }
    static const char* allUsersName() { return "Observers"; }

private:
    domain_type _domainType;
};

} // namespace osk
