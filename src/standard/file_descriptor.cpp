#include "standard/file_descriptor.h"

#include <unistd.h>

namespace osk {

CFileDescriptor& CFileDescriptor::operator=(CFileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        _fd = other.release();
    }
    return *this;
}

int CFileDescriptor::release()
{
    const int fd = _fd;
    _fd = -1;
    return fd;
}

bool CFileDescriptor::close()
{
    if (_fd < 0) return true;
    const int fd = release();
    return ::close(fd) == 0;
}

} // namespace osk
