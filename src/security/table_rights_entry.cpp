#include "security/table_rights_entry.h"

#include "security/security_exception.h"

namespace osk {

namespace {
const char* const kNoRightsForTable = "Unable to find access rights for table '%1'.";
} // namespace

void CTableRightsEntry::grant(const std::string& name, const CAccessRights& rights)
{
    if (rights.empty()) return;
    _rights[name] |= rights;
}

void CTableRightsEntry::revoke(const std::string& name, const CAccessRights& rights)
{
    auto found = _rights.find(name);
    if (found == _rights.end()) return;
    found->second.remove(rights);
    if (found->second.empty()) _rights.erase(found);
}

void CTableRightsEntry::revoke(const std::string& name)
{
    _rights.erase(name);
}

bool CTableRightsEntry::has(const std::string& name, CAccessRights::right_t right) const
{
    const CAccessRights* any = find(anyTable);
    if (any && any->has(right)) return true;
    const CAccessRights* own = find(name);
    return own && own->has(right);
}

bool CTableRightsEntry::has(const std::string& name, const CAccessRights& rights) const
{
    const CAccessRights* any = find(anyTable);
    if (any && any->hasAll(rights)) return true;
    const CAccessRights* own = find(name);
    return own && own->hasAll(rights);
}

bool CTableRightsEntry::has(const std::string& name) const
{
    return find(anyTable) || find(name);
}

void CTableRightsEntry::merge(const CTableRightsEntry& other)
{
    for (const auto& item : other._rights) grant(item.first, item.second);
}

const CAccessRights& CTableRightsEntry::operator[](const std::string& name) const
{
    const CAccessRights* rights = find(name);
    if (!rights)
        throw OSK_SECURITY_EXCEPTION(CMessage(kNoRightsForTable).pushs(name), CMessage(),
                                     "CTableRightsEntry::operator[]");
    return *rights;
}

const CAccessRights* CTableRightsEntry::find(const std::string& name) const
{
    auto found = _rights.find(name);
    return found == _rights.end() ? nullptr : &found->second;
}

CAccessRights CTableRightsEntry::effective(const std::string& name) const
{
    CAccessRights result;
    if (const CAccessRights* any = find(anyTable)) result |= *any;
    if (const CAccessRights* own = find(name)) result |= *own;
    return result;
}

std::string CTableRightsEntry::string() const
{
    std::string text;
    for (const auto& item : _rights) {
        if (!text.empty()) text += "/";
        text += item.first;
        text += ":";
        text += item.second.string();
    }
    if (!text.empty()) text += ",";
    return text;
}

} // namespace osk
