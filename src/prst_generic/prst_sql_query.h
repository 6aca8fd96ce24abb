#pragma once

#include <string>
#include <vector>

#include "prst_generic/prst_owned_link_attr.h"
#include "prst_generic/prst_secured_query.h"
#include "prst_generic/prst_sql_arg.h"
#include "prst_generic/prst_sql_query_group.h"
#include "prst_generic/prst_sql_target.h"

// A stored SQL query that console users select objects with: a WHERE
// template on the main table (aliased T), the classes it applies to, and
// its named, typed arguments. Text attributes: the query's, where_template,
// target_classes (class names joined by ","), args (name:type items joined
// by ",", in their order).
class CPrstSQLQuery : public CPrstSecuredQuery<CPrstSQLQuery, CPrstSQLQueryGroup> {
public:
    static constexpr const char* kGroupLinkTable = CPrstSQLQueryGroup::kLinkTable;
    static constexpr const char* kByNameStatement = "sql_query.name";

    explicit CPrstSQLQuery(CPrstContext& context) : CPrstSecuredQuery(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& whereTemplate() const { return _where.value(); }
    void whereTemplate(const std::string& text) { _where.value(text); }

    std::vector<std::string> targetClasses() const;
    // Replaces the target classes.
    void targetClasses(const std::vector<std::string>& names);
    // The arguments as text, and the reverse: replaces the arguments; a
    // type must be a formal field type name.
    std::string args() const;
    void args(const std::string& text);

    // The stored argument of a name and the stored target class of a name
    // of this query, or null.
    CPrstSQLArg::ptr_t findArg(const std::string& name) const;
    CPrstSQLTarget::ptr_t findTarget(const std::string& name) const;

protected:
    void _get(osk::CStringMap& map) const override;
    void _set(const osk::CStringMap& map) override;

private:
    CPrstAttr<std::string> _where{*this, "WHERE_CLAUSE", "where_template"};
    CPrstOwnedLinkAttr<CPrstSQLArg> _args{*this, "osk_sql_arg_links", "args", "query", CPrstLinkRows::byName};
    CPrstOwnedLinkAttr<CPrstSQLTarget> _targets{*this, "osk_sql_target_links", "target_classes", "query",
                                                CPrstLinkRows::plain};
};
