#pragma once

#include <set>
#include <string>

#include "security/domain_id.h"

namespace osk {

// Base of the security tokens: the domains the holder belongs to, in id
// order. The base has no text form.
class CAccessToken {
public:
    using domains_t = std::set<CDomainID>;

    CAccessToken() = default;
    CAccessToken(const CAccessToken&) = default;
    CAccessToken& operator=(const CAccessToken&) = default;
    virtual ~CAccessToken() = default;

    const domains_t& domainIDs() const { return _domainIDs; }
    void domainIDs(const domains_t& domains) { _domainIDs = domains; }

    // Both raise "Invalid method call." ("Wrong subclass."): only derived
    // tokens define a text form.
    virtual std::string string() const;
    virtual void string(const std::string& text);

protected:
    domains_t& _domains() { return _domainIDs; }

private:
    domains_t _domainIDs;
};

} // namespace osk
