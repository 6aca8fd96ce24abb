#pragma once

namespace localfs {

// Owns one file descriptor and closes it when destroyed. Movable, not
// copyable; release() hands the descriptor over to the caller.
class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : _fd(fd) {}
    ~CUniqueFd() { reset(); }
    CUniqueFd(CUniqueFd&& other) noexcept : _fd(other.release()) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept;
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int get() const { return _fd; }
    bool valid() const { return _fd >= 0; }
    // Gives up ownership without closing.
    int release();
    // Closes the held descriptor (if any) and takes fd.
    void reset(int fd = -1);

private:
    int _fd = -1;
};

} // namespace localfs
