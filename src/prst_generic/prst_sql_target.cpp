#include "prst_generic/prst_sql_target.h"

CPrstClassSpec CPrstSQLTarget::_makeSpec() { return CPrstClassSpec("CPrstSQLTarget", "", "osk_sql_target", false); }
