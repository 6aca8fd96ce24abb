#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "prst_generic/persistent_secured_object.h"
#include "prst_generic/prst_access_controls_attr.h"
#include "prst_generic/prst_attr.h"
#include "prst_generic/prst_generic_messages.h"
#include "security/access_id.h"

// What device and user accounts share: a name, a description, whether the
// account is enabled, and the domains the account is in, kept as access
// controls (AccessControl records). The account's access id is its OID.
//
// Text attributes: name (required for a new account), enabled,
// description, and acl: the domains as names joined by "," (decimal ids
// when the context serializes numerically). Setting acl replaces the
// domains, acl+ adds to them and acl- removes from them; the items of acl
// and acl+ must name existing domains (for user accounts: roles).
template <class T, class AccessControl>
class CPrstAccount : public CPersistentSecuredObject<T> {
public:
    using named_t = CPrstAccountDomains::named_t;

    osk::CAccessID accessID() const { return osk::CAccessID(this->oid()); }
    const std::string& name() const { return _name.value(); }
    void name(const std::string& name) { _name.value(name); }
    const std::string& description() const { return _description.value(); }
    void description(const std::string& text) { _description.value(text); }
    bool enabled() const { return _enabled.value(); }
    void enabled(bool on) { _enabled.value(on); }

    // The account's domains with their names, in id order.
    const named_t& domains() const { return _controls.domains(); }
    std::vector<osk::CDomainID> domainIDs() const
    {
        std::vector<osk::CDomainID> ids;
        for (const auto& domain : domains()) ids.push_back(domain.first);
        return ids;
    }
    // Sets the domains from a list text as acl does.
    void acl(const std::string& text) { _controls.domains(_resolver().resolve(CPrstAccountDomains::items(text))); }
    std::string acl() const { return _resolver().text(domains()); }

protected:
    CPrstAccount(CPrstContext& context, CPrstAccountDomains::kind_t kind)
        : CPersistentSecuredObject<T>(context), _controls(*this, kind)
    {
    }

    CPrstAccountDomains _resolver() const { return CPrstAccountDomains(this->context(), _controls.kind()); }

    void _get(osk::CStringMap& map) const override
    {
        CPersistentSecuredObject<T>::_get(map);
        map.set_string("acl", acl());
    }
    void _set(const osk::CStringMap& map) override
    {
        if (!this->existing() && !map.defined("name")) {
            using M = CPrstGenericMessages;
            throw OSK_EXCEPTION(osk::CMessage(M::cannotSetAccount, M::module), osk::CMessage(M::missingName, M::module),
                                "CPrstAccount::_set", M::module);
        }
        CPersistentSecuredObject<T>::_set(map);
        if (map.defined("acl")) acl(map.get_string("acl"));
        if (map.defined("acl+")) _changeAcl(map.get_string("acl+"), true);
        if (map.defined("acl-")) _changeAcl(map.get_string("acl-"), false);
    }

private:
    // acl+ and acl-: the current items with the given ones added or taken
    // out, set as acl.
    void _changeAcl(const std::string& text, bool add)
    {
        std::vector<std::string> items = CPrstAccountDomains::items(acl());
        for (const std::string& item : CPrstAccountDomains::items(text)) {
            auto found = std::find(items.begin(), items.end(), item);
            if (add && found == items.end()) items.push_back(item);
            if (!add && found != items.end()) items.erase(found);
        }
        _controls.domains(_resolver().resolve(items));
    }

    CPrstAttr<std::string> _name{*this, "NAME", "name"};
    CPrstAttr<std::string> _description{*this, "DESCRIPTION", "description"};
    CPrstAttr<bool> _enabled{*this, "ENABLED", "enabled", true};
    CPrstAccessControlsAttr<AccessControl> _controls;
};
