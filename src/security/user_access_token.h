#pragma once

#include <string>
#include <vector>

#include "security/access_token.h"
#include "security/table_rights.h"

namespace osk {

// The token of a logged-in console user: the rights per domain and the
// domains into which the user's new objects are placed. The set of domains
// of the base token always equals the domains of the table rights.
class CUserAccessToken : public CAccessToken {
public:
    using create_rights_t = std::vector<CDomainID>;

    const CTableRights& tableRights() const { return _tableRights; }
    // Replaces the rights; the domain set follows them, and a token holding
    // the administrators' domain becomes a super-user token.
    void tableRights(const CTableRights& rights);

    // Domains that receive the objects the user creates; empty: all of the
    // user's domains.
    const create_rights_t& createRights() const { return _createRights; }
    void createRights(const create_rights_t& domains) { _createRights = domains; }

    // Add rights in a domain and make the user a member of it; the
    // administrators' domain also grants super-user access.
    void grantAccess(const CDomainID& domain, const std::string& name, const CAccessRights& rights);
    void grantAccess(const CDomainID& domain, const CTableRightsEntry& entry);
    // Take rights away; a domain left without rights leaves the domain set.
    void revokeAccess(const CDomainID& domain);
    void revokeAccess(const CDomainID& domain, const std::string& name);
    void revokeAccess(const CDomainID& domain, const std::string& name, const CAccessRights& rights);

    // create when some domain grants create on name (or on "*"), else none.
    CAccessRights createRight(const std::string& name) const;

    // The token under which a new object of class name is created: this token
    // when no create domains are set; otherwise a token holding a copy of the
    // entry of every create domain whose rights cover the class (by name or
    // "*"). The new object joins exactly the domains of that token.
    CUserAccessToken tokenForCreate(const std::string& name) const;

    // For each domain in id order: id "::" entry text, domains joined by "//".
    std::string string() const override;
    // Raises "Cannot de-serialize a security access token from text.".
    void string(const std::string& text) override;

private:
    void _updateDomainIDs();
    void _checkSuperUser(const CDomainID& domain);
    void _afterRevoke(const CDomainID& domain);

    CTableRights _tableRights;
    create_rights_t _createRights;
};

} // namespace osk
