#include "local_fs/unique_fd.h"

#include <unistd.h>

namespace localfs {

CUniqueFd& CUniqueFd::operator=(CUniqueFd&& other) noexcept
{
    if (this != &other) reset(other.release());
    return *this;
}

int CUniqueFd::release()
{
    const int fd = _fd;
    _fd = -1;
    return fd;
}

void CUniqueFd::reset(int fd)
{
    // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
    if (_fd >= 0) ::close(_fd);
    _fd = fd;
}

} // namespace localfs
