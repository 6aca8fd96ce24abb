#include "firebird_provider/fb_statement_pool.h"

namespace fbprov {

std::unique_ptr<CFbStatement> CFbStatementPool::take(const std::string& sql)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto found = _byText.find(sql);
    if (found == _byText.end()) return nullptr;
    // The newest: a text in use now was most likely given back last.
    const entries_t::iterator entry = found->second.back();
    found->second.pop_back();
    if (found->second.empty()) _byText.erase(found);
    std::unique_ptr<CFbStatement> statement = std::move(entry->statement);
    _free.erase(entry);
    return statement;
}

void CFbStatementPool::give(const std::string& sql, std::unique_ptr<CFbStatement> statement)
{
    // Statements that are not kept are freed after the lock is released.
    std::unique_ptr<CFbStatement> dropped;
    entries_t evicted;
    const std::lock_guard<std::mutex> lock(_mutex);
    std::vector<entries_t::iterator>& sameText = _byText[sql];
    if (sameText.size() >= maxFreePerText) {
        dropped = std::move(statement);
        return;
    }
    sameText.push_back(_free.insert(_free.end(), CEntry{sql, std::move(statement)}));
    if (_free.size() <= maxFree) return;
    // The oldest of all is the oldest of its text.
    const auto oldest = _byText.find(_free.front().sql);
    oldest->second.erase(oldest->second.begin());
    if (oldest->second.empty()) _byText.erase(oldest);
    evicted.splice(evicted.end(), _free, _free.begin());
}

void CFbStatementPool::clear()
{
    entries_t all;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _byText.clear();
        all.swap(_free);
    }
}

size_t CFbStatementPool::free() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _free.size();
}

} // namespace fbprov
