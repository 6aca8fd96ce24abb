#include "oodb/query_factory.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

CQueryFactory::pager_kind CQueryFactory::pagerKind(const osk::CStringMap& selectArgs)
{
    const bool sortedByOther =
        (selectArgs.defined("sort_property") && selectArgs.get_string("sort_property", std::string()) != "T.pk") ||
        (selectArgs.defined("sort_column") && selectArgs.get_string("sort_column", std::string()) != "pk");
    if (sortedByOther) return rowPager;
    const std::string type = selectArgs.get_string("pager_type", std::string());
    if (type == "db") return rowPager;
    if (type == "pk") return keyRangePager;
    throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotCreatePager), osk::CMessage(CDBMessages::wrongPagerType),
                        "CQueryFactory::pagerKind", CDBMessages::moduleOodb);
}
