#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

// File-system helpers shared by the tests that work on real directories.
namespace test_support {

// A fresh directory under /tmp (or another parent), removed with everything
// in it on destruction (also directories a test left without permissions).
class TempDir {
public:
    explicit TempDir(const std::string& parent = "/tmp")
    {
        std::string pattern = parent + "/zelvo-test-XXXXXX";
        if (!mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed in " + parent);
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

// Whether anything, a dangling link included, has this name.
inline bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

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

} // namespace test_support
