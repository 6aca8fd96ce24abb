#include "firebird_provider/fb_statement_pool.h"

#include <utility>

namespace fbprov {

std::unique_ptr<CFbStatement> CFbStatementPool::take(const std::string& sql)
{
    const auto found = _free.find(sql);
    if (found == _free.end() || found->second.empty()) return nullptr;
    std::unique_ptr<CFbStatement> statement = std::move(found->second.back());
    found->second.pop_back();
    return statement;
}

void CFbStatementPool::give(const std::string& sql, std::unique_ptr<CFbStatement> statement)
{
    std::vector<std::unique_ptr<CFbStatement>>& free = _free[sql];
    if (free.size() < maxFreePerText) free.push_back(std::move(statement));
}

} // namespace fbprov
