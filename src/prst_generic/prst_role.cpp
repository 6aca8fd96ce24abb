#include "prst_generic/prst_role.h"

#include <map>

#include "extended/exception.h"
#include "prst_generic/prst_generic_messages.h"
#include "security/role_helper.h"

using M = CPrstGenericMessages;

CPrstClassSpec CPrstRole::_makeSpec()
{
    CPrstClassSpec spec("CPrstRole", "user_role", "osk_roles", true);
    spec.attrColumn("name", "D.NAME");
    spec.attrColumn("description", "D.DESCRIPTION");
    return spec;
}

CPrstRole::list_t CPrstRole::selectByDomain(CPrstContext& context, const osk::CDomainID& domain, size_t maxObjects)
{
    return fastSelectRec(context, "role.domain", {domain.id()}, maxObjects);
}

CPrstRole::ptr_t CPrstRole::findByName(CPrstContext& context, const std::string& name)
{
    list_t found = fastSelectRec(context, "role.name", {name}, 1);
    return found.empty() ? ptr_t() : std::move(found.front());
}

CPrstDomain& CPrstRole::domain() const
{
    if (!_domain.target())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotSetRole, M::module), osk::CMessage(M::roleWithoutDomain, M::module),
                            "CPrstRole::domain", M::module);
    return *_domain.target();
}

osk::CDomainID CPrstRole::domainID() const { return domain().domainID(); }

void CPrstRole::domainOid(int64_t oid) { _domain.target(CPrstDomain::load(context(), oid)); }

CPrstDomain& CPrstRole::_domainToSet()
{
    if (!_domain.target()) {
        auto domain = CPrstDomain::createTransient(context());
        domain->type(osk::CDomainID::user_role);
        _domain.target(std::move(domain));
    }
    return *_domain.target();
}

std::string CPrstRole::name() const { return _domain.target() ? _domain->name() : std::string(); }
void CPrstRole::name(const std::string& name) { _domainToSet().name(name); }
std::string CPrstRole::description() const { return _domain.target() ? _domain->description() : std::string(); }
void CPrstRole::description(const std::string& text) { _domainToSet().description(text); }

CPrstCapability* CPrstRole::capability(const std::string& targetClass) const
{
    for (const auto& item : _capabilities.items())
        if (item.target->targetClass() == targetClass) return item.target.get();
    return nullptr;
}

void CPrstRole::findRights(osk::CTableRightsEntry& entry) const
{
    for (const auto& item : _capabilities.items()) entry.grant(item.target->targetClass(), item.target->rights());
}

std::string CPrstRole::capabilities() const
{
    osk::CTableRightsEntry entry;
    findRights(entry);
    return entry.string();
}

void CPrstRole::capabilities(const std::string& text)
{
    osk::CTableRightsEntry wanted;
    osk::CRoleHelper::tableRights(text, wanted);
    // Capabilities of classes no longer named go; the others take the new
    // rights; classes without a capability get a new one.
    for (size_t index = _capabilities.items().size(); index-- > 0;) {
        CPrstCapability& held = *_capabilities.items()[index].target;
        const osk::CAccessRights* rights = wanted.find(held.targetClass());
        if (rights)
            held.rights(*rights);
        else
            _capabilities.erase(index);
    }
    for (const auto& [targetClass, rights] : wanted) {
        if (capability(targetClass)) continue;
        auto added = CPrstCapability::createTransient(context());
        added->targetClass(targetClass);
        added->rights(rights);
        _capabilities.add(std::move(added), targetClass);
    }
}

void CPrstRole::_get(osk::CStringMap& map) const
{
    CPersistentSecuredObject<CPrstRole>::_get(map);
    map.set_string("name", name());
    map.set_string("description", description());
    map.set_string("domain_oid", _domain.target() ? std::to_string(_domain->oid()) : std::string());
    map.set_string("capabilities", capabilities());
}

void CPrstRole::_set(const osk::CStringMap& map)
{
    CPersistentSecuredObject<CPrstRole>::_set(map);
    if (map.defined("domain_oid")) domainOid(CPrstValueTraits<int64_t>::fromText(map.get_string("domain_oid")));
    if (map.defined("name")) name(map.get_string("name"));
    if (map.defined("description")) description(map.get_string("description"));
    if (map.defined("capabilities")) capabilities(map.get_string("capabilities"));
}

void CPrstRole::_beforeWrite()
{
    CPersistentSecuredObject<CPrstRole>::_beforeWrite();
    // The capabilities carry the role's domain id, which a new domain has
    // only once it is written.
    CPrstDomain& own = domain();
    if (!own.existing()) own.commit();
    for (const auto& item : _capabilities.items()) item.target->roleID(own.domainID());
}
