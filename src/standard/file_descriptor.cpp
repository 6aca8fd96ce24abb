#include "standard/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace osk {

CFileDescriptor& CFileDescriptor::operator=(CFileDescriptor&& other) noexcept
{
    if (this != &other) reset(other.release());
    return *this;
}

int CFileDescriptor::release()
{
    const int fd = _fd;
    _fd = -1;
    return fd;
}

void CFileDescriptor::reset(int fd)
{
    // close() is not retried on EINTR: on Linux the descriptor is gone anyway.
    close();
    _fd = fd;
}

bool CFileDescriptor::close()
{
    if (_fd < 0) return true;
    const int fd = release();
    return ::close(fd) == 0;
}

bool CFileDescriptor::writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

} // namespace osk
