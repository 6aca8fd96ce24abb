#pragma once

#include <cstdint>

namespace osk {

// A position in (or the size of) a file, in bytes. 64 bits wide everywhere,
// so transfers of files beyond 4 GiB keep exact offsets.
using CFileOffset = uint64_t;

} // namespace osk
