#include "prst_generic/prst_secured_select.h"

#include "security/secure_where.h"
#include "security/secured_statement_args.h"

namespace {
// The domain filter matches membership rows by the object's key alone, and
// keys of different tables may be equal: an object would pass on the
// membership of another table's object with its key. Its rows must also be
// its own table's: their SRC_TABLE names the domain and the table.
std::string ownMemberships(const osk::CUserAccessToken& token, osk::CAccessRights::right_t right,
                           const std::string& name, const std::string& table)
{
    std::string values;
    for (const auto& domain : token.tableRights()) {
        if (!domain.second.has(name, right)) continue;
        if (!values.empty()) values += ", ";
        values += "'" + osk::CSecuredStatementArgs::sourceTableValue(domain.first.id(), table) + "'";
    }
    if (values.empty()) return std::string();
    return " AND (T.PK IN (SELECT XOM.SRC_PK FROM osk_domain_id XOM WHERE XOM.SRC_TABLE IN (" + values + ")))";
}
} // namespace

std::string CPrstSecuredSelect::sql(const CPrstContext& context, const CPrstClassSpec& spec,
                                    osk::CAccessRights::right_t right, const std::string& where,
                                    const std::string& orderBy)
{
    const std::string condition = CPrstSecuredSelect::condition(context.token(), spec, right, where);
    std::string text = "SELECT T.* FROM " + spec.table() + " T";
    if (!condition.empty()) text += " WHERE " + condition;
    if (!orderBy.empty()) text += " ORDER BY " + orderBy;
    return text;
}

std::string CPrstSecuredSelect::condition(const osk::CUserAccessToken& token, const CPrstClassSpec& spec,
                                          osk::CAccessRights::right_t right, const std::string& where)
{
    std::string condition = osk::CSecureWhere::secureWhere(token, spec.secured(), right, spec.formalName(),
                                                           spec.table(), where);
    if (condition != where) condition += ownMemberships(token, right, spec.formalName(), spec.table());
    return condition;
}
