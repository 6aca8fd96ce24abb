#pragma once

#include <string>
#include <vector>

#include "prst_generic/prst_account.h"
#include "prst_generic/prst_user_access_control.h"
#include "security/domain_id.h"

// The account of a console user, whose domains are roles. Text attributes:
// the account's, pass (always shown as the placeholder; setting the
// placeholder keeps the stored password), locale and min_create_rights
// (the domains that receive the objects the user creates, in the text form
// of acl; each must be one of the user's roles). MIN_CREATE_RIGHTS stores
// the domain ids joined by ",".
class CPrstUserAccount : public CPrstAccount<CPrstUserAccount, CPrstUserAccessControl> {
public:
    explicit CPrstUserAccount(CPrstContext& context) : CPrstAccount(context, CPrstAccountDomains::rolesOnly) {}
    static CPrstClassSpec _makeSpec();

    // The password in its stored (enciphered) form.
    const std::string& pass() const { return _pass.value(); }
    void pass(const std::string& text) { _pass.value(text); }
    const std::string& locale() const { return _locale.value(); }
    void locale(const std::string& text) { _locale.value(text); }

    // The stored domain ids; entries that are not numbers are skipped.
    std::vector<osk::CDomainID> minCreateRights() const;
    // Sets the domains from a list text; throws "Domain '%1' cannot be part
    // of attribute 'min_create_rights'." for an item that is not one of the
    // user's roles.
    void minCreateRights(const std::string& text);

    // Makes a new account the built-in administrator: name Admin,
    // description Administrator, access id 0.
    void setSuperUser();

    // The account of a name, or null.
    static ptr_t findByName(CPrstContext& context, const std::string& name);

protected:
    void _get(osk::CStringMap& map) const override;
    void _set(const osk::CStringMap& map) override;

private:
    CPrstAttr<std::string> _pass{*this, "PASS"};
    CPrstAttr<std::string> _locale{*this, "LOCALE", "locale"};
    CPrstAttr<std::string> _minCreateRights{*this, "MIN_CREATE_RIGHTS"};
};
