#pragma once

#include <string>

#include "extended/exception.h"

namespace localfs {

// Builds the exceptions of the local file system: the failed operation names
// the file (control bytes escaped), and the system error number travels with
// it so the engine can map it to a TFTP error code.
class CLocalFileError {
public:
    static osk::CException make(const std::string& what, const std::string& name, const std::string& why,
                                const char* context, int err);
};

} // namespace localfs
