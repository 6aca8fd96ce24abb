#include "prst_generic/prst_snmp_query.h"

CPrstClassSpec CPrstSNMPQuery::_makeSpec()
{
    return CPrstClassSpec("CPrstSNMPQuery", "snmp_query", "osk_snmp_query", true);
}
