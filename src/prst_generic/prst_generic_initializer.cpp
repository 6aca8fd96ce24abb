#include "prst_generic/prst_generic_initializer.h"

#include "oodb/db_result_prototype.h"
#include "prst_generic/prst_capability.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_device_access_control.h"
#include "prst_generic/prst_device_account.h"
#include "prst_generic/prst_domain.h"
#include "prst_generic/prst_domain_group.h"
#include "prst_generic/prst_domain_id.h"
#include "prst_generic/prst_domain_memberships.h"
#include "prst_generic/prst_domain_name_id.h"
#include "prst_generic/prst_ip_address.h"
#include "prst_generic/prst_key_value.h"
#include "prst_generic/prst_role.h"
#include "prst_generic/prst_secured_object_impl.h"
#include "prst_generic/prst_snmp_query.h"
#include "prst_generic/prst_snmp_query_group.h"
#include "prst_generic/prst_sql_query.h"
#include "prst_generic/prst_sql_query_group.h"
#include "prst_generic/prst_user_access_control.h"
#include "prst_generic/prst_user_account.h"

CPrstGenericInitializer::CPrstGenericInitializer(CDBBaseSession& session, const CDBStatementFileReader& statements,
                                                 CPrstMetaAbstractFactory& factory)
    : _session(session), _statements(statements), _factory(factory)
{
}

const std::vector<std::string>& CPrstGenericInitializer::classNames()
{
    static const std::vector<std::string> names = {
        "CPrstDeviceAccount",     "CPrstUserAccount", "CPrstDomain",   "CPrstDomainGroup",   "CPrstDeviceAccessControl",
        "CPrstUserAccessControl", "CPrstKeyValue",    "CPrstSQLQuery", "CPrstSQLQueryGroup", "CPrstSNMPQuery",
        "CPrstSNMPQueryGroup",    "CPrstCapability",  "CPrstRole",     "CPrstTFTPPolicy",    "CPrstSecuredObjectImpl"};
    return names;
}

const std::vector<std::string>& CPrstGenericInitializer::formalNames()
{
    static const std::vector<std::string> names = {
        "account",   "user_account", "domain",          "domain_group", "access_control",   "user_access_control",
        "keyvalue",  "sql_query",    "sql_query_group", "snmp_query",   "snmp_query_group", "capability",
        "user_role", "policy"};
    return names;
}

void CPrstGenericInitializer::initialize()
{
    _registerClass<CPrstDeviceAccount>();
    _registerClass<CPrstUserAccount>();
    _registerClass<CPrstDomain>();
    _registerClass<CPrstDomainGroup>();
    _registerClass<CPrstDeviceAccessControl>();
    _registerClass<CPrstUserAccessControl>();
    _registerClass<CPrstKeyValue>();
    _registerClass<CPrstSQLQuery>();
    _registerClass<CPrstSQLQueryGroup>();
    _registerClass<CPrstSNMPQuery>();
    _registerClass<CPrstSNMPQueryGroup>();
    _registerClass<CPrstCapability>();
    _registerClass<CPrstRole>();
    _registerClass<CPrstSecuredObjectImpl>();
    _registerClass<CPrstDomainMemberships>();
    _registerClass<CPrstDomainID>();
    _registerClass<CPrstDomainNameID>();
    _registerClass<CPrstSQLArg>();
    _registerClass<CPrstSQLTarget>();
    _registerClass<CPrstIPAddress>();
}

void CPrstGenericInitializer::_registerRecordSpec(const std::string& className)
{
    // The column types come from a prototype object of the class; making
    // one touches no database.
    CPrstContext context(_session, _statements, CPrstContext::administratorToken());
    const CPrstClassSpec& spec = _factory.spec(className);
    auto prototype = _factory.createTransient(className, context);
    _session.setPrototype(spec.table(), CDBResultPrototype(spec.table(), prototype->columnTypes()));
    _session.prototypes().aliases().set_string(className, spec.table());
    if (!spec.formalName().empty()) _session.prototypes().aliases().set_string(spec.formalName(), spec.table());
}
