#include "tftp/tftp_interfaces/tftp_error_code.h"

#include <cerrno>

namespace {
const char* const kErrorTexts[] = {
    "undefined",     "file not found", "access_denied", "disk full",
    "illegal opcode", "unknown tid",   "file exists",   "no such user",
    "option negotiation error",
};
const char* const kNoErrorText = "no error";

// Some systems report an existing file with this number as well.
const int kFileExistsAlternate = 80;
} // namespace

std::string CTFTPErrorCode::string() const
{
    const int32_t v = static_cast<int32_t>(_value);
    if (v >= 0 && v <= 8) return kErrorTexts[v];
    if (v == no_error) return kNoErrorText;
    return std::to_string(v);
}

CTFTPErrorCode CTFTPErrorCode::from_errno(int err)
{
    switch (err) {
    case ENOENT: return file_not_found;
    case EACCES: return access_denied;
    case ENOSPC: return disk_full;
    case EEXIST: return file_exists;
    case kFileExistsAlternate: return file_exists;
    default: return undefined;
    }
}
