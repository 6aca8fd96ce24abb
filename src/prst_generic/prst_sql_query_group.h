#pragma once

#include "prst_generic/prst_query_group.h"

// A group of SQL queries. Text attributes: name and description.
class CPrstSQLQueryGroup : public CPrstQueryGroup<CPrstSQLQueryGroup> {
public:
    static constexpr const char* kLinkTable = "osk_query_grp_links";
    static constexpr const char* kByNameStatement = "sql_query_group.name";

    explicit CPrstSQLQueryGroup(CPrstContext& context) : CPrstQueryGroup(context) {}
    static CPrstClassSpec _makeSpec();
};
