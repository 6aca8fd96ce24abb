#pragma once

#include <string>

#include "security/identifier.h"

namespace osk {

// Identifies an account; compared and combined by id like CDomainID.
class CAccessID : public CIdentifier<CAccessID> {
public:
    // A default-built identifier is the unknown account (-1).
    explicit CAccessID(id_t value = -1) : CIdentifier<CAccessID>(value) {}

    // Decimal text of the id, and the reverse (raises on text that is not a
    // decimal number).
    std::string string() const { return std::to_string(id()); }
    void string(const std::string& text) { id(parseIdentifierText(text)); }

    static CAccessID superUserID() { return CAccessID(0); }
    static CAccessID unknownID() { return CAccessID(-1); }
    static const char* superUserName() { return "Admin"; }
    static const char* superUserNameLower() { return "admin"; }
    static const char* guestUserName() { return "Guest"; }
    static const char* unknownName() { return "<unknown>"; }
};

} // namespace osk
