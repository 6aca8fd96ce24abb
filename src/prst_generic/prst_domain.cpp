#include "prst_generic/prst_domain.h"

#include <strings.h>

#include <algorithm>
#include <utility>

#include "prst_generic/prst_account_domains.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_role.h"
#include "standard/string_util.h"

using M = CPrstGenericMessages;

namespace {
const char* const kByName = "domain.name";
const char* const kByType = "domain.type";
const char* const kGroupById = "domain_group.id";
const char* const kGroupByName = "domain_group.name";
const char* const kDevice = "device";
const char* const kRole = "role";
} // namespace

CPrstDomain::CPrstDomain(CPrstContext& context) : CPersistentSecuredObject<CPrstDomain>(context) {}

CPrstClassSpec CPrstDomain::_makeSpec()
{
    CPrstClassSpec spec("CPrstDomain", "domain", "osk_domains", true);
    spec.attrColumn("type", "T.domain_type");
    spec.attrColumn("groups", "DG.NAME");
    return spec;
}

osk::CDomainID CPrstDomain::domainID() const
{
    return osk::CDomainID(oid(), type());
}

osk::CDomainID::domain_type CPrstDomain::type() const
{
    return static_cast<osk::CDomainID::domain_type>(_type.value());
}

std::string CPrstDomain::typeText(osk::CDomainID::domain_type type)
{
    return type == osk::CDomainID::user_role ? kRole : kDevice;
}

osk::CDomainID::domain_type CPrstDomain::typeFromText(const std::string& text)
{
    const std::string word = osk::CStringUtil::trim(text);
    if (::strcasecmp(word.c_str(), kDevice) == 0) return osk::CDomainID::device;
    if (::strcasecmp(word.c_str(), kRole) == 0) return osk::CDomainID::user_role;
    return osk::CDomainID::typeValue(word);
}

CPrstDomain::ptr_t CPrstDomain::findByName(CPrstContext& context, const std::string& name)
{
    list_t found = fastSelectRec(context, kByName, {name}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

CPrstDomain::list_t CPrstDomain::selectByType(CPrstContext& context, osk::CDomainID::domain_type type)
{
    return fastSelectRec(context, kByType, {static_cast<int64_t>(type)});
}

void CPrstDomain::groups(const std::vector<std::string>& names)
{
    std::vector<int64_t> oids;
    for (const std::string& name : names) {
        auto rows = context().transaction().select(context().statement(kGroupByName), {name});
        if (!rows->fetch())
            throw OSK_EXCEPTION(osk::CMessage(M::cannotSetDomain, M::module),
                                osk::CMessage(M::groupDoesNotExist, M::module).pushs(name), "CPrstDomain::groups",
                                M::module);
        oids.push_back(rows->asInt64("OID"));
        _groupNames[oids.back()] = name;
    }
    _groups.targets(oids);
}

void CPrstDomain::_lookUpGroupNames()
{
    _groupNames.clear();
    for (int64_t group : _groups.targets()) {
        auto rows = context().transaction().select(context().statement(kGroupById), {group});
        if (rows->fetch()) _groupNames[group] = rows->asString("NAME");
    }
}

void CPrstDomain::_get(osk::CStringMap& map) const
{
    CPersistentSecuredObject<CPrstDomain>::_get(map);
    map.set_string("type", typeText(type()));
    std::string groups;
    for (int64_t group : _groups.targets()) {
        auto name = _groupNames.find(group);
        groups += (groups.empty() ? "" : ",") + (name == _groupNames.end() ? std::to_string(group) : name->second);
    }
    map.set_string("groups", groups);
}

void CPrstDomain::_set(const osk::CStringMap& map)
{
    CPersistentSecuredObject<CPrstDomain>::_set(map);
    if (map.defined("type")) type(typeFromText(map.get_string("type")));
    if (map.defined("groups"))
        groups(osk::CStringUtil::split(map.get_string("groups"), ",", osk::CStringUtil::whitespace));
}

void CPrstDomain::_beforeWrite()
{
    CPersistentSecuredObject<CPrstDomain>::_beforeWrite();
    if (!_nameId.target()) _nameId.target(CPrstDomainNameID::createTransient(context()));
    _nameId->domainId(oid());
    _nameId->name(name());
}

void CPrstDomain::_afterLoad()
{
    CPersistentSecuredObject<CPrstDomain>::_afterLoad();
    _lookUpGroupNames();
}

void CPrstDomain::_beforeDelete()
{
    CPersistentSecuredObject<CPrstDomain>::_beforeDelete();
    for (const auto& role : CPrstRole::selectByDomain(context(), domainID())) role->deletePersistent();
    const CDBValues id{oid()};
    CDBTransaction& transaction = context().transaction();
    transaction.execute("DELETE FROM osk_domain_mships_links WHERE DEST_ATTR_REF IN "
                        "(SELECT OID FROM osk_domain_id WHERE DOMAIN_ID = ?)",
                        id);
    transaction.execute("DELETE FROM osk_domain_id WHERE DOMAIN_ID = ?", id);
    transaction.execute("DELETE FROM osk_access_control WHERE DOMAIN_ID = ?", id);
    transaction.execute("DELETE FROM osk_user_access_control WHERE DOMAIN_ID = ?", id);
    _leaveMinCreateRights();
}

void CPrstDomain::_leaveMinCreateRights()
{
    const std::string gone = std::to_string(oid());
    CDBTransaction& transaction = context().transaction();
    std::vector<std::pair<int64_t, std::string>> changed;
    {
        auto rows = transaction.select("SELECT PK, MIN_CREATE_RIGHTS FROM osk_user_accounts "
                                       "WHERE MIN_CREATE_RIGHTS IS NOT NULL");
        while (rows->fetch()) {
            std::vector<std::string> ids = CPrstAccountDomains::items(rows->asString("MIN_CREATE_RIGHTS"));
            const auto kept = std::remove(ids.begin(), ids.end(), gone);
            if (kept == ids.end()) continue;
            ids.erase(kept, ids.end());
            changed.emplace_back(rows->asInt64("PK"), osk::CStringUtil::join(ids));
        }
        rows->close();
    }
    for (const auto& [account, ids] : changed)
        transaction.execute("UPDATE osk_user_accounts SET MIN_CREATE_RIGHTS = ? WHERE PK = ?", {ids, account});
}
