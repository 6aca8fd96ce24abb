#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "standard/file_descriptor.h"
#include "standard/nr_mutex.h"

namespace localfs {

// Descriptors of virtual root directories, kept for a short while so that
// the requests of a busy root open it once per lifetime instead of once
// each (an open and a close per request). A descriptor older than the
// lifetime is not handed out again: the root is opened afresh, so a root
// directory that is replaced or removed is noticed after at most that long.
// Descriptors already handed out stay valid for as long as their holders
// keep them. Safe to use from several threads.
class CRootDirectoryCache {
public:
    using clock_type = std::chrono::steady_clock;
    using clock_function = std::function<clock_type::time_point()>;

    static constexpr std::chrono::milliseconds defaultLifetime{1000};
    static constexpr size_t defaultCapacity = 64;

    explicit CRootDirectoryCache(std::chrono::milliseconds lifetime = defaultLifetime,
                                 size_t capacity = defaultCapacity, clock_function clock = clock_type::now);
    CRootDirectoryCache(const CRootDirectoryCache&) = delete;
    CRootDirectoryCache& operator=(const CRootDirectoryCache&) = delete;

    // An open O_PATH descriptor of the directory root: the kept one while it
    // is younger than the lifetime, else a new one. Throws as
    // CLocalPathResolver::openRoot does.
    std::shared_ptr<const osk::CFileDescriptor> open(const std::string& root);
    // Lets go of every kept descriptor.
    void clear();
    // Roots kept now.
    size_t size() const;

private:
    struct CEntry {
        std::shared_ptr<const osk::CFileDescriptor> fd;
        clock_type::time_point opened;
    };
    // Makes room for one more root: drops the expired entries and, when the
    // cache is still full, the oldest one (lock held).
    void _makeRoom(clock_type::time_point now);

    const std::chrono::milliseconds _lifetime;
    const size_t _capacity;
    const clock_function _clock;
    mutable osk::CNRMutex _lock; // guards _entries
    std::map<std::string, CEntry> _entries;
};

} // namespace localfs
