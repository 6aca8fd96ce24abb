#pragma once

#include <map>
#include <string>
#include <vector>

#include "security/domain_id.h"

class CPrstContext;

// The domains that account attributes name in text: domain names, or
// decimal domain ids when the context serializes numerically. The domains
// of user accounts are roles, so their items must name a domain that has a
// role.
class CPrstAccountDomains {
public:
    // Domains with their names, in id order.
    using named_t = std::map<osk::CDomainID, std::string>;
    enum kind_t { anyDomain, rolesOnly };

    CPrstAccountDomains(CPrstContext& context, kind_t kind) : _context(context), _kind(kind) {}

    // The domain of one item and its name; throws "Cannot set account
    // record from text." for an item that names no (role) domain.
    named_t::value_type resolve(const std::string& item) const;
    named_t resolve(const std::vector<std::string>& items) const;

    // The name of a domain, empty when it has none.
    std::string nameOf(const osk::CDomainID& domain) const;

    // The text of one domain (its name, or its id when the context
    // serializes numerically or the domain has no name), and of a list
    // (joined by ",").
    std::string text(const named_t::value_type& domain) const;
    std::string text(const named_t& domains) const;

    // The items of a list text: separated by ",", blanks around them and
    // empty items dropped.
    static std::vector<std::string> items(const std::string& text);

private:
    [[noreturn]] static void _refuse(const char* why, const std::string& item);

    CPrstContext& _context;
    kind_t _kind;
};
