#include "prst_generic/prst_domain_memberships.h"

#include "prst_generic/prst_generic_messages.h"
#include "standard/number_conversion.h"
#include "standard/string_util.h"

using M = CPrstGenericMessages;

namespace {
const char* const kDomainOfName = "domain.name";
const char* const kNameOfDomainId = "domainnameid.id";
} // namespace

CPrstClassSpec CPrstDomainMemberships::_makeSpec()
{
    return CPrstClassSpec("CPrstDomainMemberships", "", "osk_domain_mships", false);
}

CPrstDomainMemberships::CPrstDomainMemberships(CPrstContext& context)
    : CIPersistentObject<CPrstDomainMemberships>(context)
{
    _names[osk::CDomainID::superUsersID().id()] = name_t{1, osk::CDomainID::superUsersName()};
}

void CPrstDomainMemberships::domains(const osk::CDomainMemberships& domains)
{
    _domains = domains;
    _lookUpNames();
}

void CPrstDomainMemberships::source(int64_t oid, const std::string& table)
{
    _sourceOid = oid;
    _sourceTable = table;
}

void CPrstDomainMemberships::_beforeWrite()
{
    _ids.clear();
    for (const osk::CDomainID& domain : _domains) {
        auto row = CPrstDomainID::createTransient(context());
        row->assign(domain, _sourceOid, _sourceTable);
        _ids.add(std::move(row));
    }
}

void CPrstDomainMemberships::_afterLoad()
{
    _domains.removeAll(true);
    _names.clear();
    for (const auto& item : _ids.items()) {
        const osk::CDomainID domain = item.target->domainID();
        _domains.insert(domain, domain.domainType());
    }
    _lookUpNames();
}

void CPrstDomainMemberships::_lookUpNames()
{
    for (const osk::CDomainID& domain : _domains) {
        if (_names.count(domain.id()) != 0) continue;
        name_t name{0, std::string()};
        auto rows = context().transaction().select(context().statement(kNameOfDomainId), {domain.id()});
        while (rows->fetch()) {
            ++name.matches;
            name.name = rows->asString("NAME");
        }
        _names[domain.id()] = name;
    }
}

std::string CPrstDomainMemberships::domainsText() const
{
    std::string text;
    for (const osk::CDomainID& domain : _domains) {
        if (!text.empty()) text += ",";
        if (context().serializeNumeric()) {
            text += domain.idstr();
            continue;
        }
        auto name = _names.find(domain.id());
        const size_t matches = name == _names.end() ? 0 : name->second.matches;
        if (matches != 1)
            throw OSK_EXCEPTION(osk::CMessage(M::cannotSerializeDomain, M::module),
                                osk::CMessage(M::domainInconsistency, M::module).push(matches).push(domain.id()),
                                "CPrstDomainMemberships::domainsText", M::module);
        text += name->second.name;
    }
    return text;
}

osk::CDomainID CPrstDomainMemberships::_resolve(const std::string& item) const
{
    CDBValues args{item};
    std::string sql = context().statement(kDomainOfName);
    if (context().serializeNumeric()) {
        osk::CNumberConversion number(item);
        if (number.isNumber() && number.isValid()) {
            sql = "SELECT T.* FROM osk_domains T WHERE (T.OID = ?)";
            args = {number.toInt64()};
        }
    }
    auto rows = context().transaction().select(sql, args);
    if (!rows->fetch())
        throw OSK_EXCEPTION(osk::CMessage(M::cannotSerializeSecured, M::module),
                            osk::CMessage(M::domainDoesNotExist, M::module).pushs(item),
                            "CPrstDomainMemberships::domainsText", M::module);
    return osk::CDomainID(rows->asInt64("OID"), static_cast<osk::CDomainID::domain_type>(rows->asInt64("DOMAIN_TYPE")));
}

void CPrstDomainMemberships::domainsText(const std::string& text)
{
    osk::CDomainMemberships domains;
    for (const std::string& item : osk::CStringUtil::split(text, ",", osk::CStringUtil::whitespace)) {
        const osk::CDomainID domain = _resolve(item);
        domains.insert(domain, domain.domainType());
    }
    this->domains(domains);
}
