#include "source_set.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace loadgen {

void CSourceSet::load(const std::string& dir, const std::vector<std::string>& names)
{
    std::vector<std::string> chosen = names;
    if (chosen.empty()) {
        DIR* listing = ::opendir(dir.c_str());
        if (!listing) throw std::runtime_error("cannot list source directory '" + dir + "': " + std::strerror(errno));
        while (const dirent* entry = ::readdir(listing)) {
            struct stat info;
            const std::string path = dir + "/" + entry->d_name;
            if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) chosen.push_back(entry->d_name);
        }
        ::closedir(listing);
        std::sort(chosen.begin(), chosen.end());
    }
    for (const std::string& name : chosen) {
        File file;
        file.name = name;
        if (!readFile(dir + "/" + name, file.bytes))
            throw std::runtime_error("cannot read source file '" + dir + "/" + name + "'");
        _files.push_back(std::move(file));
    }
    if (_files.empty()) throw std::runtime_error("no files to transfer in '" + dir + "'");
}

void CSourceSet::addSynthetic(const std::string& name, size_t size, uint32_t seed)
{
    File file;
    file.name = name;
    file.bytes.resize(size);
    uint32_t x = seed ? seed : 1;
    for (size_t i = 0; i < size; ++i) {
        // xorshift32: cheap, and no two neighbouring blocks look alike.
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        file.bytes[i] = static_cast<uint8_t>(x);
    }
    _files.push_back(std::move(file));
}

const CSourceSet::File* CSourceSet::find(const std::string& name) const
{
    for (const File& file : _files)
        if (file.name == name) return &file;
    return nullptr;
}

bool CSourceSet::matches(const File& file, uint64_t offset, const uint8_t* bytes, size_t length)
{
    if (offset > file.bytes.size() || length > file.bytes.size() - offset) return false;
    return length == 0 || std::memcmp(file.bytes.data() + offset, bytes, length) == 0;
}

bool CSourceSet::readFile(const std::string& path, std::vector<uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace loadgen
