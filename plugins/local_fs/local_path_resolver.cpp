#include "local_fs/local_path_resolver.h"
#include "local_fs/local_file_error.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "extended/exception.h"

namespace localfs {

namespace {

// Texts shown to clients and logs.
const char* const kCannotOpenRoot = "Cannot open the virtual root '%1'.";
const char* const kInvalidName = "Invalid file name '%1'.";
const char* const kCannotOpenFile = "Cannot open file '%1'.";
const char* const kCannotOpenDir = "Cannot open the directory of file '%1'.";
const char* const kCannotCreateDir = "Cannot create directory '%1'.";
const char* const kEmptyName = "The file name is empty.";
const char* const kNoFileName = "The file name does not name a file.";
const char* const kControlChars = "The file name contains control characters.";
const char* const kParentDir = "The file name refers to a parent directory.";
const char* const kNameTooLong = "The file name is too long.";
const char* const kSuspicious = "The file name looks suspicious.";
const char* const kOutsideRoot = "The path leads outside the virtual root.";
const char* const kLinkRefused = "The path contains a symbolic link that cannot be followed.";
const char* const kNotRegular = "The file is not a regular file.";

// Characters that have no business in a file name a device asks for: shell
// wildcards, redirections and quotes.
constexpr char kSuspiciousChars[] = "*?|<>\"";

// What a byte of a requested name is, looked up in one table: every
// request's name is checked byte by byte, up to three times per download.
enum ByteClass : unsigned char { plainByte, controlByte, separatorByte, suspiciousByte };

constexpr std::array<ByteClass, 256> byteClasses()
{
    std::array<ByteClass, 256> classes{};
    for (size_t byte = 0; byte < 0x20; ++byte) classes[byte] = controlByte;
    classes[0x7f] = controlByte;
    // Many boot loaders and devices write DOS-style paths, so a backslash
    // separates like a slash.
    classes['/'] = separatorByte;
    classes['\\'] = separatorByte;
    for (const char* c = kSuspiciousChars; *c; ++c) classes[static_cast<unsigned char>(*c)] = suspiciousByte;
    return classes;
}

constexpr std::array<ByteClass, 256> kByteClasses = byteClasses();

ByteClass classOf(char c) { return kByteClasses[static_cast<unsigned char>(c)]; }

constexpr size_t kMaxPrintable = 200;

// A failed open of a name beneath the root: escapes and refused links become
// access violations with a clear reason; anything else keeps the kernel's
// error and its text.
osk::CException openError(const char* what, const std::string& name, const char* context, int err)
{
    if (err == EXDEV) return CLocalFileError::make(what, name, kOutsideRoot, context, EACCES);
    if (err == ELOOP) return CLocalFileError::make(what, name, kLinkRefused, context, EACCES);
    return CLocalFileError::make(what, name, strerror(err), context, err);
}

std::vector<std::string> splitComponents(const std::string& relative)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos) slash = relative.size();
        if (slash > start) parts.push_back(relative.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::string joinComponents(const std::vector<std::string>& parts, size_t count)
{
    std::string joined;
    for (size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i) joined += '/';
        joined += parts[i];
    }
    return joined;
}

enum { openat2Unknown = 0, openat2Present = 1, openat2Missing = 2 };
std::atomic<int> g_openat2{openat2Unknown};

int callOpenat2(int dirFd, const char* path, int flags)
{
    struct open_how how;
    memset(&how, 0, sizeof(how));
    how.flags = static_cast<uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, dirFd, path, &how, sizeof(how)));
}
} // namespace

CLocalPathResolver::CLocalPathResolver(const std::string& root) : _root(root), _rootFd(openRoot(root)) {}

CLocalPathResolver::CLocalPathResolver(const std::string& root, std::shared_ptr<const osk::CFileDescriptor> rootFd)
    : _root(root), _rootFd(std::move(rootFd))
{
}

std::shared_ptr<const osk::CFileDescriptor> CLocalPathResolver::openRoot(const std::string& root)
{
    const char* const context = "CLocalPathResolver::openRoot";
    if (root.empty() || root.find('\0') != std::string::npos)
        throw CLocalFileError::make(kCannotOpenRoot, root, kEmptyName, context, EINVAL);
    auto fd = std::make_shared<osk::CFileDescriptor>(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!*fd) {
        const int err = errno;
        throw CLocalFileError::make(kCannotOpenRoot, root, strerror(err), context, err);
    }
    return fd;
}

std::string CLocalPathResolver::normaliseName(const std::string& requested, bool massage)
{
    const char* const context = "CLocalPathResolver::normaliseName";
    if (requested.empty()) throw CLocalFileError::make(kInvalidName, requested, kEmptyName, context, EINVAL);
    if (requested.size() >= PATH_MAX) throw CLocalFileError::make(kInvalidName, requested, kNameTooLong, context, ENAMETOOLONG);
    for (const char c : requested)
        if (classOf(c) == controlByte) throw CLocalFileError::make(kInvalidName, requested, kControlChars, context, EINVAL);
    // One pass, no list of parts. Room for a leading slash, which callers
    // that want one insert without a new allocation.
    std::string normal;
    normal.reserve(requested.size() + 1);
    size_t start = 0;
    while (start < requested.size()) {
        size_t end = start;
        bool suspiciousChar = false;
        bool onlyDots = true;
        for (; end < requested.size(); ++end) {
            const ByteClass kind = classOf(requested[end]);
            if (kind == separatorByte) break;
            suspiciousChar = suspiciousChar || kind == suspiciousByte;
            onlyDots = onlyDots && requested[end] == '.';
        }
        const std::string_view part(requested.data() + start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") throw CLocalFileError::make(kInvalidName, requested, kParentDir, context, EACCES);
        if (part.size() > NAME_MAX) throw CLocalFileError::make(kInvalidName, requested, kNameTooLong, context, ENAMETOOLONG);
        // A part of dots only, one that starts or ends with a space, or one
        // with a shell character.
        const bool suspicious = onlyDots || part.front() == ' ' || part.back() == ' ' || suspiciousChar;
        if (massage && suspicious) throw CLocalFileError::make(kInvalidName, requested, kSuspicious, context, EACCES);
        if (!normal.empty()) normal += '/';
        normal.append(part);
    }
    if (normal.empty()) throw CLocalFileError::make(kInvalidName, requested, kNoFileName, context, EINVAL);
    return normal;
}

mode_t CLocalPathResolver::dirPermsFor(mode_t filePerms)
{
    filePerms &= 0777;
    return filePerms | ((filePerms & 0444) >> 2);
}

std::string CLocalPathResolver::printableName(const std::string& name)
{
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < name.size() && i < kMaxPrintable; ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x20 || byte == 0x7f) {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 0xf];
        } else {
            text += name[i];
        }
    }
    if (name.size() > kMaxPrintable) text += "...";
    return text;
}

bool CLocalPathResolver::haveOpenat2()
{
    int known = g_openat2.load();
    if (known == openat2Unknown) {
        // Opening "." can only fail when the call itself is unavailable: an
        // old kernel (ENOSYS) or a sandbox that filters unknown system
        // calls (ENOSYS or EPERM).
        const int fd = callOpenat2(AT_FDCWD, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        if (fd >= 0) ::close(fd);
        known = (fd < 0 && (err == ENOSYS || err == EPERM)) ? openat2Missing : openat2Present;
        g_openat2.store(known);
    }
    return known == openat2Present;
}

int CLocalPathResolver::_openBeneath(const std::string& relative, int flags, int& err) const
{
    // openat2 refuses flags that mean nothing for O_PATH (EINVAL).
    flags |= (flags & O_PATH) ? O_CLOEXEC : O_CLOEXEC | O_NOCTTY;
    if (_mode == resolveAuto && haveOpenat2()) {
        int fd;
        do {
            fd = callOpenat2(rootFd(), relative.c_str(), flags);
        } while (fd < 0 && (errno == EAGAIN || errno == EINTR));
        if (fd >= 0) return fd;
        err = errno;
        if (err != ENOSYS) return -1;
        g_openat2.store(openat2Missing);
    }
    return _walk(splitComponents(relative), flags, err);
}

int CLocalPathResolver::_walk(const std::vector<std::string>& components, int flags, int& err) const
{
    if (components.empty()) {
        err = ENOENT;
        return -1;
    }
    osk::CFileDescriptor dir;
    int at = rootFd();
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        const int next = ::openat(at, components[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            err = errno;
            // O_DIRECTORY|O_NOFOLLOW on a symbolic link fails with ENOTDIR;
            // say that a link was refused.
            struct stat st;
            if (err == ENOTDIR && ::fstatat(at, components[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                err = ELOOP;
            return -1;
        }
        dir.reset(next);
        at = next;
    }
    const int fd = ::openat(at, components.back().c_str(), flags | O_NOFOLLOW);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    // O_PATH|O_NOFOLLOW opens a symbolic link itself instead of failing.
    if (flags & O_PATH) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
            ::close(fd);
            err = ELOOP;
            return -1;
        }
    }
    return fd;
}

osk::CFileDescriptor CLocalPathResolver::openRead(const std::string& requested, osk::CFileOffset* sizeAtOpen) const
{
    struct stat status;
    osk::CFileDescriptor fd = openNormalisedRead(normaliseName(requested, _massage), status);
    if (sizeAtOpen) *sizeAtOpen = static_cast<osk::CFileOffset>(status.st_size);
    return fd;
}

osk::CFileDescriptor CLocalPathResolver::openNormalisedRead(const std::string& relative, struct stat& status) const
{
    const char* const context = "CLocalPathResolver::openRead";
    int err = 0;
    // Non-blocking so that a FIFO cannot stall the caller before it is
    // recognised as not being a regular file. The flag stays: reads of a
    // regular file never block and never fail with EAGAIN, so clearing it
    // would only cost two system calls per download.
    osk::CFileDescriptor fd(_openBeneath(relative, O_RDONLY | O_NONBLOCK, err));
    if (!fd) throw openError(kCannotOpenFile, relative, context, err);
    if (::fstat(fd.get(), &status) != 0) {
        err = errno;
        throw CLocalFileError::make(kCannotOpenFile, relative, strerror(err), context, err);
    }
    if (!S_ISREG(status.st_mode))
        throw CLocalFileError::make(kCannotOpenFile, relative, kNotRegular, context, EACCES);
    return fd;
}

osk::CFileDescriptor CLocalPathResolver::openParent(const std::string& requested, std::string& leaf) const
{
    const char* const context = "CLocalPathResolver::openParent";
    const std::vector<std::string> parts = splitComponents(normaliseName(requested, _massage));
    leaf = parts.back();
    if (parts.size() == 1) {
        osk::CFileDescriptor fd(::fcntl(rootFd(), F_DUPFD_CLOEXEC, 0));
        if (!fd) {
            const int err = errno;
            throw CLocalFileError::make(kCannotOpenDir, requested, strerror(err), context, err);
        }
        return fd;
    }
    const std::vector<std::string> dirs(parts.begin(), parts.end() - 1);
    int err = 0;
    osk::CFileDescriptor fd(_openBeneath(joinComponents(dirs, dirs.size()), O_PATH | O_DIRECTORY, err));
    if (fd) return fd;
    if (err == ENOENT && _createPaths) return _createDirectories(dirs, requested);
    throw openError(kCannotOpenDir, requested, context, err);
}

osk::CFileDescriptor CLocalPathResolver::_createDirectories(const std::vector<std::string>& components,
                                                            const std::string& requested) const
{
    const char* const context = "CLocalPathResolver::_createDirectories";
    osk::CFileDescriptor current(::fcntl(rootFd(), F_DUPFD_CLOEXEC, 0));
    if (!current) {
        const int err = errno;
        throw CLocalFileError::make(kCannotOpenDir, requested, strerror(err), context, err);
    }
    for (size_t i = 0; i < components.size(); ++i) {
        const std::string prefix = joinComponents(components, i + 1);
        int err = 0;
        osk::CFileDescriptor next(_openBeneath(prefix, O_PATH | O_DIRECTORY, err));
        if (!next) {
            if (err != ENOENT) throw openError(kCannotCreateDir, prefix, context, err);
            // One new component inside a directory that is itself beneath the
            // root: mkdirat never follows a link in its last component.
            const char* name = components[i].c_str();
            if (::mkdirat(current.get(), name, _dirPerms) == 0) {
                osk::CFileDescriptor made(
                    ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!made || ::fchmod(made.get(), _dirPerms) != 0) {
                    err = errno;
                    throw CLocalFileError::make(kCannotCreateDir, prefix, strerror(err), context, err);
                }
            } else if (errno != EEXIST) {
                err = errno;
                throw CLocalFileError::make(kCannotCreateDir, prefix, strerror(err), context, err);
            }
            // Resolve again from the root: whoever made it, it must still be
            // a directory beneath the root.
            next.reset(_openBeneath(prefix, O_PATH | O_DIRECTORY, err));
            if (!next) throw openError(kCannotCreateDir, prefix, context, err);
        }
        current = std::move(next);
    }
    return current;
}

} // namespace localfs
