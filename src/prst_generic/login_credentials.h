#pragma once

#include <string>

#include "security/capabilities.h"

class CPrstContext;

// The login look-up: what a user name may do. In one transaction of the
// context it finds the user account, the domains of its access controls
// and, for each of them, the one role of that domain, whose capabilities
// become the domain's table rights; the create rights, password and locale
// are the account's. Any failure rolls the transaction back and is passed
// on: an unknown user raises "Login failure for user '%1'.", a domain
// without exactly one role "Unable to find role matching domain ID %1.".
class CLoginCredentials {
public:
    explicit CLoginCredentials(CPrstContext& context) : _context(context) {}

    osk::CCapabilities find(const std::string& user) const;

private:
    CPrstContext& _context;
};
