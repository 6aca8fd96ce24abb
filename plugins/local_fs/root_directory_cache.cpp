#include "local_fs/root_directory_cache.h"

#include <algorithm>

#include "local_fs/local_path_resolver.h"
#include "standard/guard.h"

namespace localfs {

CRootDirectoryCache::CRootDirectoryCache(std::chrono::milliseconds lifetime, size_t capacity, clock_function clock)
    : _lifetime(lifetime), _capacity(std::max<size_t>(capacity, 1)), _clock(std::move(clock))
{
}

std::shared_ptr<const osk::CFileDescriptor> CRootDirectoryCache::open(const std::string& root)
{
    const clock_type::time_point now = _clock();
    {
        osk::CGuard<osk::CNRMutex> guard(_lock);
        const auto kept = _entries.find(root);
        if (kept != _entries.end() && now - kept->second.opened < _lifetime) return kept->second.fd;
    }
    // Opened without the lock: a slow file system must not hold up the
    // other roots.
    std::shared_ptr<const osk::CFileDescriptor> fd = CLocalPathResolver::openRoot(root);
    osk::CGuard<osk::CNRMutex> guard(_lock);
    _entries.erase(root);
    _makeRoom(now);
    _entries.emplace(root, CEntry{fd, now});
    return fd;
}

void CRootDirectoryCache::_makeRoom(clock_type::time_point now)
{
    for (auto it = _entries.begin(); it != _entries.end();) {
        if (now - it->second.opened >= _lifetime) it = _entries.erase(it);
        else ++it;
    }
    if (_entries.size() < _capacity) return;
    const auto oldest = std::min_element(_entries.begin(), _entries.end(), [](const auto& a, const auto& b) {
        return a.second.opened < b.second.opened;
    });
    _entries.erase(oldest);
}

void CRootDirectoryCache::clear()
{
    std::map<std::string, CEntry> dropped;
    osk::CGuard<osk::CNRMutex> guard(_lock);
    dropped.swap(_entries);
}

size_t CRootDirectoryCache::size() const
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    return _entries.size();
}

} // namespace localfs
