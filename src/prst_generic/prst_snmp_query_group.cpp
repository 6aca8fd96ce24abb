#include "prst_generic/prst_snmp_query_group.h"

CPrstClassSpec CPrstSNMPQueryGroup::_makeSpec()
{
    return CPrstClassSpec("CPrstSNMPQueryGroup", "snmp_query_group", "osk_snmp_groups", true);
}
