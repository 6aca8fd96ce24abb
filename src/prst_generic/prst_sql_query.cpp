#include "prst_generic/prst_sql_query.h"

#include "extended/exception.h"
#include "oodb/db_field_type.h"
#include "prst_generic/prst_generic_messages.h"
#include "standard/string_util.h"

using M = CPrstGenericMessages;

namespace {
const char* const kArgSeparator = ":";
} // namespace

CPrstClassSpec CPrstSQLQuery::_makeSpec()
{
    CPrstClassSpec spec("CPrstSQLQuery", "sql_query", "osk_sql_query", true);
    spec.attrColumn("where_template", "T.WHERE_CLAUSE");
    spec.attrColumn("target_classes", "SQT.NAME");
    spec.attrColumn("args", "SQA.NAME");
    return spec;
}

std::vector<std::string> CPrstSQLQuery::targetClasses() const
{
    std::vector<std::string> names;
    for (const auto& item : _targets.items()) names.push_back(item.target->name());
    return names;
}

void CPrstSQLQuery::targetClasses(const std::vector<std::string>& names)
{
    _targets.clear();
    for (const std::string& name : names) {
        auto target = CPrstSQLTarget::createTransient(context());
        target->name(name);
        _targets.add(std::move(target));
    }
}

std::string CPrstSQLQuery::args() const
{
    std::string text;
    for (const auto& item : _args.items())
        text += (text.empty() ? "" : ",") + item.target->name() + kArgSeparator + item.target->type();
    return text;
}

void CPrstSQLQuery::args(const std::string& text)
{
    // Every item is checked before the arguments change.
    std::vector<std::pair<std::string, std::string>> parsed;
    for (const std::string& item : osk::CStringUtil::split(text, ",", osk::CStringUtil::whitespace)) {
        const size_t colon = item.find(kArgSeparator);
        const std::string name = osk::CStringUtil::trim(item.substr(0, colon));
        if (colon == std::string::npos || name.empty())
            throw OSK_EXCEPTION(osk::CMessage(M::cannotSetQuery, M::module),
                                osk::CMessage(M::badQueryArgument, M::module).pushs(item), "CPrstSQLQuery::args",
                                M::module);
        const std::string type = osk::CStringUtil::trim(item.substr(colon + 1));
        CDBFieldType::fromFormalName(type);
        parsed.emplace_back(name, type);
    }
    _args.clear();
    for (const auto& [name, type] : parsed) {
        auto arg = CPrstSQLArg::createTransient(context());
        arg->name(name);
        arg->type(type);
        _args.add(std::move(arg), name);
    }
}

CPrstSQLArg::ptr_t CPrstSQLQuery::findArg(const std::string& name) const
{
    auto found = CPrstSQLArg::fastSelectRec(context(), "query.arg_name", {oid(), name}, 1);
    return found.empty() ? CPrstSQLArg::ptr_t() : std::move(found.front());
}

CPrstSQLTarget::ptr_t CPrstSQLQuery::findTarget(const std::string& name) const
{
    auto found = CPrstSQLTarget::fastSelectRec(context(), "query.target_name", {oid(), name}, 1);
    return found.empty() ? CPrstSQLTarget::ptr_t() : std::move(found.front());
}

void CPrstSQLQuery::_get(osk::CStringMap& map) const
{
    CPrstSecuredQuery::_get(map);
    std::string targets;
    for (const std::string& name : targetClasses()) targets += (targets.empty() ? "" : ",") + name;
    map.set_string("target_classes", targets);
    map.set_string("args", args());
}

void CPrstSQLQuery::_set(const osk::CStringMap& map)
{
    CPrstSecuredQuery::_set(map);
    if (map.defined("target_classes"))
        targetClasses(osk::CStringUtil::split(map.get_string("target_classes"), ",", osk::CStringUtil::whitespace));
    if (map.defined("args")) args(map.get_string("args"));
}
