// The files a load run transfers, held in memory so that every received
// block can be compared with the source as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace loadgen {

class CSourceSet {
public:
    struct File {
        std::string name;
        std::vector<uint8_t> bytes;
    };

    // Loads the named files of `dir`, or every regular file directly in it
    // (sorted by name) when `names` is empty. Throws std::runtime_error when
    // a file cannot be read or nothing is left to transfer.
    void load(const std::string& dir, const std::vector<std::string>& names);
    // Adds a file of `size` pseudo-random bytes drawn from `seed`.
    void addSynthetic(const std::string& name, size_t size, uint32_t seed);

    size_t size() const { return _files.size(); }
    bool empty() const { return _files.empty(); }
    const File& at(size_t index) const { return _files.at(index); }
    // The file called `name`, or null.
    const File* find(const std::string& name) const;

    // True when `length` bytes at `offset` of `file` equal `bytes`.
    static bool matches(const File& file, uint64_t offset, const uint8_t* bytes, size_t length);
    // Reads `path` whole; false when it cannot be read.
    static bool readFile(const std::string& path, std::vector<uint8_t>& out);

private:
    std::vector<File> _files;
};

} // namespace loadgen
