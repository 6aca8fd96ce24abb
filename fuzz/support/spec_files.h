#pragma once

#include <cstddef>
#include <string>

#include "support/fuzz_bytes.h"
#include "support/scratch_files.h"

namespace zelvo_fuzz {

// Writes up to three spec files (a.spec, b.spec, c.spec) from one input, so
// that includes between them are read. Names with a "/" would reach files
// outside the scratch directory: such inputs are refused (false).
inline bool writeSpecFiles(const ScratchFiles& files, FuzzBytes& input)
{
    static const char* const kNames[] = {"a.spec", "b.spec", "c.spec"};
    std::string contents[3];
    contents[0] = input.chunk();
    contents[1] = input.chunk();
    contents[2] = input.rest();
    for (const std::string& content : contents)
        if (content.find('/') != std::string::npos) return false;
    for (size_t i = 0; i < 3; ++i) files.write(kNames[i], contents[i]);
    return true;
}

} // namespace zelvo_fuzz
