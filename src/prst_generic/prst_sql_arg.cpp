#include "prst_generic/prst_sql_arg.h"

CPrstClassSpec CPrstSQLArg::_makeSpec() { return CPrstClassSpec("CPrstSQLArg", "", "osk_sql_arg", false); }
