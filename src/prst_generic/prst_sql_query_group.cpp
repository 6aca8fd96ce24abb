#include "prst_generic/prst_sql_query_group.h"

CPrstClassSpec CPrstSQLQueryGroup::_makeSpec()
{
    return CPrstClassSpec("CPrstSQLQueryGroup", "sql_query_group", "osk_query_groups", true);
}
