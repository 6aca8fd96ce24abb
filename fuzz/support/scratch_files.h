#pragma once

#include <unistd.h>

#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace zelvo_fuzz {

// The directory the file readers of one fuzz process read from: created
// once, emptied of the harness's files before every input (so that no input
// sees another's files) and removed at exit. It lives in memory where the
// machine has /dev/shm: a disk's journal would otherwise take a quarter of
// every run's time for files that are written once and read once.
class ScratchFiles {
public:
    ScratchFiles()
        : _dir(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")
    {
    }

    const std::string& directory() const { return _dir.path(); }
    std::string path(const std::string& name) const { return _dir / name; }

    void write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path(name), std::ios::binary | std::ios::trunc) << content;
    }
    void remove(const std::string& name) const { test_support::TempDir::removeTree(path(name)); }

private:
    test_support::TempDir _dir;
};

} // namespace zelvo_fuzz
