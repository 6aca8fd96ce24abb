#pragma once

namespace osk {

// Names shared by the security model and the text forms of secured objects.
class CSecurityConstants {
public:
    // Shown in place of a stored password.
    static const char* passwordPlaceholder() { return "**********"; }
    // The attribute that carries an object's memberships in text form.
    static const char* membershipsName() { return "memberships"; }
    static const char* accessRightsName() { return "accessRights"; }
};

} // namespace osk
