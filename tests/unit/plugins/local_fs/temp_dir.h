#pragma once

#include <dirent.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "extended/exception.h"
#include "support/temp_dir.h"

namespace localfs_test {

using test_support::exists;
using test_support::readFile;
using test_support::TempDir;
using test_support::writeFile;

inline std::string readFd(int fd)
{
    std::string text;
    char buffer[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(fd, buffer, sizeof(buffer), offset);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
    return text;
}

// Every entry below path (recursively, links not followed) with its type,
// mode and content, so that two snapshots show any change anywhere.
inline std::map<std::string, std::string> snapshot(const std::string& path)
{
    std::map<std::string, std::string> entries;
    std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& full,
                                                                           const std::string& rel) {
        struct stat st;
        if (lstat(full.c_str(), &st) != 0) return;
        std::string desc = std::to_string(st.st_mode);
        if (S_ISREG(st.st_mode)) desc += ":" + readFile(full);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = readlink(full.c_str(), target, sizeof(target));
            if (n > 0) desc += "->" + std::string(target, static_cast<size_t>(n));
        }
        entries[rel] = desc;
        if (!S_ISDIR(st.st_mode)) return;
        if (DIR* dir = opendir(full.c_str())) {
            while (dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") walk(full + "/" + name, rel + "/" + name);
            }
            closedir(dir);
        }
    };
    walk(path, "");
    return entries;
}

// Runs action and gives the err_code of the osk::CException it throws;
// -1 when it throws nothing.
inline int thrownErrno(const std::function<void()>& action)
{
    try {
        action();
    } catch (const osk::CException& e) {
        return e.err_code();
    }
    return -1;
}

// Sets the process umask for one scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : _old(umask(mask)) {}
    ~ScopedUmask() { umask(_old); }

private:
    mode_t _old;
};

// Lowers the file-size limit of the process for one scope, with SIGXFSZ
// ignored: a write beyond the limit then fails with EFBIG instead of
// killing the process.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        _oldHandler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &_old);
        rlimit lower = _old;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &_old);
        signal(SIGXFSZ, _oldHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit _old{};
    void (*_oldHandler)(int) = nullptr;
};

// A tmpfs of a few pages mounted on a fresh directory, for a real full disk.
// Mounting needs privileges: mounted() says whether it worked.
class TinyFileSystem {
public:
    explicit TinyFileSystem(const char* size = "16k")
        : _mounted(mount("tmpfs", _dir.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                         (std::string("size=") + size).c_str()) == 0)
    {
    }
    ~TinyFileSystem()
    {
        if (_mounted) umount2(_dir.path().c_str(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool mounted() const { return _mounted; }
    const std::string& path() const { return _dir.path(); }
    std::string operator/(const std::string& name) const { return _dir / name; }

private:
    TempDir _dir;
    bool _mounted;
};

} // namespace localfs_test
