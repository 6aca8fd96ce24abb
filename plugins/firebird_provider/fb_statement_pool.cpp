#include "firebird_provider/fb_statement_pool.h"

namespace fbprov {

std::unique_ptr<CFbStatement> CFbStatementPool::take(const std::string& sql)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    // The newest first: a text in use now was most likely given back last.
    for (auto entry = _free.rbegin(); entry != _free.rend(); ++entry) {
        if (entry->first != sql) continue;
        std::unique_ptr<CFbStatement> statement = std::move(entry->second);
        _free.erase(std::next(entry).base());
        return statement;
    }
    return nullptr;
}

void CFbStatementPool::give(const std::string& sql, std::unique_ptr<CFbStatement> statement)
{
    // Statements that fall out are freed after the lock is released.
    std::unique_ptr<CFbStatement> dropped;
    std::list<std::pair<std::string, std::unique_ptr<CFbStatement>>> evicted;
    const std::lock_guard<std::mutex> lock(_mutex);
    size_t sameText = 0;
    for (const auto& entry : _free) sameText += entry.first == sql ? 1 : 0;
    if (sameText >= maxFreePerText) {
        dropped = std::move(statement);
        return;
    }
    _free.emplace_back(sql, std::move(statement));
    if (_free.size() > maxFree) evicted.splice(evicted.end(), _free, _free.begin());
}

void CFbStatementPool::clear()
{
    std::list<std::pair<std::string, std::unique_ptr<CFbStatement>>> all;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        all.swap(_free);
    }
}

size_t CFbStatementPool::free() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _free.size();
}

} // namespace fbprov
