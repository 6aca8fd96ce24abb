#pragma once

#include <string>

namespace osk {

// Owns one open file descriptor and closes it when it goes out of scope.
// Moves hand the descriptor on; copies are not possible.
class CFileDescriptor {
public:
    CFileDescriptor() = default;
    // Takes over fd (a negative value holds nothing).
    explicit CFileDescriptor(int fd) : _fd(fd) {}
    ~CFileDescriptor() { close(); }
    CFileDescriptor(CFileDescriptor&& other) noexcept : _fd(other.release()) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept;
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int get() const { return _fd; }
    explicit operator bool() const { return _fd >= 0; }
    // Gives the descriptor up without closing it.
    int release();
    // Closes the descriptor held (if any) and takes fd instead.
    void reset(int fd);
    // Closes the descriptor now; false when close() reported an error (a
    // write the system had buffered may then be lost). True when nothing is
    // held.
    bool close();

    // Writes all of text to fd, retrying after interruptions; false (errno
    // set) when a write fails.
    static bool writeAll(int fd, const std::string& text);

private:
    int _fd = -1;
};

} // namespace osk
