#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "standard/time_t.h"

namespace fbprov {

// Bytes of a binary column or blob.
using CFbBytes = std::vector<uint8_t>;

// One statement parameter: null, an integer, a floating-point number, a
// text, bytes or a point in time (stored as a UTC timestamp). Texts and bytes
// bound to a blob column are written as a blob.
using CFbValue = std::variant<std::monostate, int32_t, int64_t, double, std::string, CFbBytes, osk::CTimeT>;
using CFbValues = std::vector<CFbValue>;

} // namespace fbprov
