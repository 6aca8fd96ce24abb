#pragma once

#include "standard/string_map.h"

// Chooses how a select is split into pages, from the select's arguments:
// "pager_type" "db" pages by row numbers, "pk" by windows of primary-key
// values. A select sorted by anything but the key always pages by rows,
// because key windows return rows in key order only.
class CQueryFactory {
public:
    enum pager_kind { rowPager, keyRangePager };

    // Throws "Unable to create a pager query object." (why "Wrong pager
    // type.") for a pager type other than "db" or "pk" (a missing one
    // included) unless the sort forces the row pager.
    static pager_kind pagerKind(const osk::CStringMap& selectArgs);
};
