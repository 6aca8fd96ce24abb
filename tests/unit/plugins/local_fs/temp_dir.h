#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "extended/exception.h"

namespace localfs_test {

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/zelvo-localfs-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        _path = pattern;
    }
    ~TempDir() { removeTree(_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return _path; }
    std::string operator/(const std::string& name) const { return _path + "/" + name; }

    static void removeTree(const std::string& path)
    {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            chmod(path.c_str(), 0700);
            if (DIR* dir = opendir(path.c_str())) {
                while (dirent* entry = readdir(dir)) {
                    const std::string name = entry->d_name;
                    if (name != "." && name != "..") removeTree(path + "/" + name);
                }
                closedir(dir);
            }
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }

private:
    std::string _path;
};

inline void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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

} // namespace localfs_test
