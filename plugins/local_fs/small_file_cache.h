#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

namespace localfs {

// The contents of small files that octet downloads read, kept in memory so
// that a repeated download of an unchanged file costs one stat instead of an
// open, a stat, a read and a close: provisioning hands the same few
// configuration files to thousands of devices.
//
// A kept copy is handed out only while the name still leads to the same
// file, unchanged: same device, inode, size, and modification and change
// times, as one fstatat beneath the root's descriptor tells (a link as the
// last component never matches). A copy is kept only when the file's last
// change is more than a second older than the status taken before the read:
// file times are as coarse as the kernel's tick, so a file written twice
// within one tick could otherwise keep its times and leave its first copy in
// the cache. A change made after that status moves the change time, and the
// next lookup reads the file again.
//
// Bounded in bytes; the copy used least recently goes first. Used by the
// engine's thread only.
class CSmallFileCache {
public:
    using content_ptr = std::shared_ptr<const std::string>;

    // Files larger than this are never kept.
    static constexpr size_t kMaxFileBytes = 64 * 1024;
    static constexpr size_t kDefaultBudget = 16 * 1024 * 1024;

    explicit CSmallFileCache(size_t budget = kDefaultBudget) : _budget(budget) {}
    CSmallFileCache(const CSmallFileCache&) = delete;
    CSmallFileCache& operator=(const CSmallFileCache&) = delete;

    // Whether a file with this status, taken at now, may be kept.
    static bool keepable(const struct stat& status, time_t now);
    // The kept copy of relative beneath root (open as rootFd), or null when
    // none is kept or the file is no longer the one kept (which drops it).
    content_ptr find(const std::string& root, int rootFd, const std::string& relative);
    // Keeps content as the copy of relative beneath root, read after status
    // was taken; keepable(status) must hold.
    void keep(const std::string& root, const std::string& relative, const struct stat& status, content_ptr content);

    size_t size() const { return _entries.size(); }
    // What the kept copies cost: their bytes and a fixed cost per copy.
    size_t bytes() const { return _bytes; }

private:
    struct CEntry {
        content_ptr content;
        struct stat status;
        std::list<std::string>::iterator use;
    };

    // The key of relative beneath root, in _probe.
    const std::string& _key(const std::string& root, const std::string& relative);
    static bool _sameFile(const struct stat& kept, const struct stat& now);
    void _drop(std::unordered_map<std::string, CEntry>::iterator entry);

    const size_t _budget;
    size_t _bytes = 0;
    std::unordered_map<std::string, CEntry> _entries;
    // Keys from the most recently used to the least.
    std::list<std::string> _uses;
    // The key of the latest lookup: a lookup allocates nothing once it has
    // held the longest key.
    std::string _probe;
};

} // namespace localfs
