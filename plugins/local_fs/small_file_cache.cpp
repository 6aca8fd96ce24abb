#include "local_fs/small_file_cache.h"

#include <fcntl.h>

namespace localfs {

namespace {

// How much older than the status a file's last change must be for a copy to
// be kept: far more than the coarsest tick of file times.
constexpr time_t kSettledSeconds = 1;
// What a copy costs beyond its bytes (the entry, its key and its place in
// the order), so that empty files cannot fill the cache without bound.
constexpr size_t kEntryCost = 256;

size_t costOf(const std::string& content) { return content.size() + kEntryCost; }

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

bool CSmallFileCache::keepable(const struct stat& status, time_t now)
{
    return S_ISREG(status.st_mode) && static_cast<size_t>(status.st_size) <= kMaxFileBytes &&
           status.st_ctim.tv_sec + kSettledSeconds < now;
}

const std::string& CSmallFileCache::_key(const std::string& root, const std::string& relative)
{
    // No name holds a zero byte: the pair cannot be mistaken for another.
    // The string keeps its capacity from one lookup to the next.
    _probe.assign(root).append(1, '\0').append(relative);
    return _probe;
}

bool CSmallFileCache::_sameFile(const struct stat& kept, const struct stat& now)
{
    return S_ISREG(now.st_mode) && kept.st_dev == now.st_dev && kept.st_ino == now.st_ino &&
           kept.st_size == now.st_size && sameTime(kept.st_mtim, now.st_mtim) && sameTime(kept.st_ctim, now.st_ctim);
}

CSmallFileCache::content_ptr CSmallFileCache::find(const std::string& root, int rootFd, const std::string& relative)
{
    if (_entries.empty()) return content_ptr();
    const auto entry = _entries.find(_key(root, relative));
    if (entry == _entries.end()) return content_ptr();
    struct stat now;
    if (::fstatat(rootFd, relative.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !_sameFile(entry->second.status, now)) {
        _drop(entry);
        return content_ptr();
    }
    _uses.splice(_uses.begin(), _uses, entry->second.use);
    return entry->second.content;
}

void CSmallFileCache::keep(const std::string& root, const std::string& relative, const struct stat& status,
                           content_ptr content)
{
    if (!content || costOf(*content) > _budget) return;
    std::string key = _key(root, relative);
    const auto known = _entries.find(key);
    if (known != _entries.end()) _drop(known);
    while (_bytes + costOf(*content) > _budget) _drop(_entries.find(_uses.back()));
    _bytes += costOf(*content);
    _uses.push_front(key);
    _entries.emplace(std::move(key), CEntry{std::move(content), status, _uses.begin()});
}

void CSmallFileCache::_drop(std::unordered_map<std::string, CEntry>::iterator entry)
{
    _bytes -= costOf(*entry->second.content);
    _uses.erase(entry->second.use);
    _entries.erase(entry);
}

} // namespace localfs
