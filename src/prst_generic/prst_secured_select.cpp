#include "prst_generic/prst_secured_select.h"

#include "security/secure_where.h"

std::string CPrstSecuredSelect::sql(const CPrstContext& context, const CPrstClassSpec& spec,
                                    osk::CAccessRights::right_t right, const std::string& where,
                                    const std::string& orderBy)
{
    const std::string condition =
        osk::CSecureWhere::secureWhere(context.token(), spec.secured(), right, spec.formalName(), spec.table(), where);
    std::string text = "SELECT T.* FROM " + spec.table() + " T";
    if (!condition.empty()) text += " WHERE " + condition;
    if (!orderBy.empty()) text += " ORDER BY " + orderBy;
    return text;
}
