#include "security/user_access_token.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kNoTokenFromText = "Cannot de-serialize a security access token from text.";
const char* const kNoTokenFromTextWhy = "Unsupported operation.";
const char* const kDomainSeparator = "//";
const char* const kIdSeparator = "::";
} // namespace

void CUserAccessToken::tableRights(const CTableRights& rights)
{
    _tableRights = rights;
    if (_tableRights.find(CDomainID::superUsersID())) _tableRights.superUserAccess();
    _updateDomainIDs();
}

void CUserAccessToken::grantAccess(const CDomainID& domain, const std::string& name, const CAccessRights& rights)
{
    _tableRights.grant(domain, name, rights);
    if (_tableRights.find(domain)) _domains().insert(domain);
    _checkSuperUser(domain);
}

void CUserAccessToken::grantAccess(const CDomainID& domain, const CTableRightsEntry& entry)
{
    _tableRights.merge(domain, entry);
    _domains().insert(domain);
    _checkSuperUser(domain);
}

void CUserAccessToken::revokeAccess(const CDomainID& domain)
{
    _tableRights.revoke(domain);
    _afterRevoke(domain);
}

void CUserAccessToken::revokeAccess(const CDomainID& domain, const std::string& name)
{
    _tableRights.revoke(domain, name);
    _afterRevoke(domain);
}

void CUserAccessToken::revokeAccess(const CDomainID& domain, const std::string& name, const CAccessRights& rights)
{
    _tableRights.revoke(domain, name, rights);
    _afterRevoke(domain);
}

CAccessRights CUserAccessToken::createRight(const std::string& name) const
{
    for (const auto& domain : _tableRights) {
        if (domain.second.has(name, CAccessRights::create)) return CAccessRights(CAccessRights::create);
    }
    return CAccessRights();
}

CUserAccessToken CUserAccessToken::tokenForCreate(const std::string& name) const
{
    if (_createRights.empty()) return *this;
    CUserAccessToken chosen;
    for (const CDomainID& domain : _createRights) {
        const CTableRightsEntry* entry = _tableRights.find(domain);
        if (entry && entry->has(name)) chosen.grantAccess(domain, *entry);
    }
    return chosen;
}

std::string CUserAccessToken::string() const
{
    std::string text;
    for (const auto& domain : _tableRights) {
        if (!text.empty()) text += kDomainSeparator;
        text += domain.first.idstr();
        text += kIdSeparator;
        text += domain.second.string();
    }
    return text;
}

void CUserAccessToken::string(const std::string&)
{
    throw OSK_SECURITY_EXCEPTION(CMessage(kNoTokenFromText), CMessage(kNoTokenFromTextWhy),
                                 "CUserAccessToken::string");
}

void CUserAccessToken::_updateDomainIDs()
{
    _domains().clear();
    for (const auto& domain : _tableRights) _domains().insert(domain.first);
}

void CUserAccessToken::_afterRevoke(const CDomainID& domain)
{
    if (_tableRights.find(domain)) return;
    _domains().erase(domain);
    if (domain == CDomainID::superUsersID()) _tableRights.superUserAccess(false);
}

void CUserAccessToken::_checkSuperUser(const CDomainID& domain)
{
    if (domain == CDomainID::superUsersID() && _tableRights.find(domain)) _tableRights.superUserAccess();
}

} // namespace osk
