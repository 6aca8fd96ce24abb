#include "extended/config.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>

#include "standard/file_descriptor.h"
#include "standard/string_util.h"

namespace osk {

const char* const CConfig::mergeFileName = "merge.conf";

namespace {
// The mode of a configuration file written for the first time: it holds
// passwords, so only its owner may read it.
const mode_t kNewFileMode = 0600;

std::string mergeFilePath(const std::string& directory) { return directory + "/" + CConfig::mergeFileName; }

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name of a temporary that write() fills beside target: this prefix
// and kTemporaryRandom random letters and digits.
std::string temporaryPrefix(const std::string& target) { return "." + baseNameOf(target) + ".write-"; }
const size_t kTemporaryRandom = 6;
// Where the descriptors of this process have names that linkat() follows.
const char* const kOwnDescriptors = "/proc/self/fd/";

// Opens the file that write() fills, locked, so that
// removeInterruptedWrites() of another process never takes it for an
// orphan. Where the kernel allows, the file has no name yet (O_TMPFILE):
// nameTemporary() gives it one once it is complete, and a crash before that
// leaves nothing behind. Otherwise it is created under its temporary name,
// which is stored in temporary.
CFileDescriptor openTemporary(const std::string& target, std::string& temporary)
{
    const std::string directory = directoryOf(target);
    CFileDescriptor file;
    // Without /proc (a changed root) an unnamed file could never be named.
    if (::access(kOwnDescriptors, X_OK) == 0)
        file = CFileDescriptor(::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode));
    if (!file) {
        temporary = directory + "/" + temporaryPrefix(target) + std::string(kTemporaryRandom, 'X');
        file = CFileDescriptor(::mkostemp(&temporary[0], O_CLOEXEC));
        if (!file) return file;
    }
    if (::flock(file.get(), LOCK_EX) != 0) {
        const int error = errno;
        if (!temporary.empty()) ::unlink(temporary.c_str());
        errno = error;
        return CFileDescriptor();
    }
    return file;
}

// Gives an unnamed temporary its name beside target (true at once for one
// that has a name); false with errno when that fails.
bool nameTemporary(int fd, const std::string& target, std::string& temporary)
{
    if (!temporary.empty()) return true;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string self = kOwnDescriptors + std::to_string(fd);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = directoryOf(target) + "/" + temporaryPrefix(target);
        for (size_t i = 0; i < kTemporaryRandom; ++i) name += letters[random() % (sizeof(letters) - 1)];
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The file that writing to path replaces: path itself, or for a symbolic
// link the file it leads to. True (with its status) when that file exists;
// false with errno ENOENT when path names nothing yet (a new file), with
// another errno when it cannot be examined (a dangling link among them).
bool existingTarget(const std::string& path, std::string& target, struct stat& status)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        target = path;
        return false;
    }
    if (S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) {
            if (errno == ENOENT) errno = ENOLINK;
            return false;
        }
        target = resolved;
    } else {
        target = path;
    }
    if (::stat(target.c_str(), &status) != 0) return false;
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    return true;
}

} // namespace

CConfig::CConfig(const std::string& version, const std::string& build, const std::string& path)
    : CStringMap(false), _fqpn(path), _version(version), _build(build)
{
}

bool CConfig::read(const std::string& path)
{
    if (!path.empty()) _fqpn = path;
    if (_fqpn.empty()) return false;
    std::ifstream file(_fqpn);
    if (!file) return false;
    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        text += line;
        text += '\n';
    }
    clear();
    set(text);
    translate(*this);
    _staged.clear();
    return true;
}

bool CConfig::write(const std::string& path)
{
    const std::string named = path.empty() ? _fqpn : path;
    if (named.empty()) {
        errno = ENOENT;
        return false;
    }
    std::string target;
    struct stat original {};
    const bool replacing = existingTarget(named, target, original);
    if (!replacing && errno != ENOENT) return false;

    std::string temporary;
    CFileDescriptor file = openTemporary(target, temporary);
    if (!file) return false;
    // From here on a failure removes the temporary file and keeps errno.
    const auto fail = [&temporary] {
        const int error = errno;
        if (!temporary.empty()) ::unlink(temporary.c_str());
        errno = error;
        return false;
    };
    struct stat created {};
    if (::fstat(file.get(), &created) != 0) return fail();
    // Owner first: a change of owner may clear set-id bits that the mode
    // then restores.
    if (replacing && (created.st_uid != original.st_uid || created.st_gid != original.st_gid) &&
        ::fchown(file.get(), original.st_uid, original.st_gid) != 0)
        return fail();
    const mode_t mode = replacing ? (original.st_mode & 07777) : kNewFileMode;
    if (::fchmod(file.get(), mode) != 0) return fail();
    CStringMap stored(*this);
    stored.merge(_staged);
    if (!CFileDescriptor::writeAll(file.get(), stored.string()) || ::fsync(file.get()) != 0 ||
        !nameTemporary(file.get(), target, temporary))
        return fail();
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail();
    // The data is on disk already: closing cannot lose any of it.
    file.close();
    return true;
}

std::vector<std::string> CConfig::removeInterruptedWrites() const
{
    std::vector<std::string> removed;
    std::string target;
    struct stat status {};
    if (_fqpn.empty() || (!existingTarget(_fqpn, target, status) && errno != ENOENT)) return removed;
    const std::string directory = directoryOf(target);
    const std::string prefix = temporaryPrefix(target);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), &::closedir);
    if (!listing) return removed;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + kTemporaryRandom && name.compare(0, prefix.size(), prefix) == 0)
            candidates.push_back(name);
    }
    const int dir = ::dirfd(listing.get());
    for (const std::string& name : candidates) {
        CFileDescriptor file(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        struct stat named {};
        // A lock that can be had means that the writer is gone; the name
        // must still be the file locked (not renamed into place meanwhile).
        if (!file || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
            ::flock(file.get(), LOCK_EX | LOCK_NB) != 0 ||
            ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_dev != opened.st_dev ||
            named.st_ino != opened.st_ino)
            continue;
        if (::unlinkat(dir, name.c_str(), 0) == 0) removed.push_back(directory + "/" + name);
    }
    return removed;
}

void CConfig::mergeUpdates(const std::string& directory)
{
    if (!applyUpdates(directory)) return;
    if (write("")) ::unlink(mergeFilePath(directory).c_str());
}

bool CConfig::applyUpdates(const std::string& directory)
{
    std::ifstream file(mergeFilePath(directory));
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        const size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const std::string operation = line.substr(0, blank);
        const size_t equals = line.find('=', blank + 1);
        const std::string key = CStringUtil::trim(
            line.substr(blank + 1, equals == std::string::npos ? std::string::npos : equals - blank - 1));
        const std::string value =
            equals == std::string::npos ? std::string() : CStringUtil::trim(line.substr(equals + 1));
        if (key.empty()) continue;
        if (operation == "set") {
            (*this)[key] = value;
        } else if (operation == "add") {
            if (!defined(key)) (*this)[key] = value;
        } else if (operation == "del") {
            erase(key);
        }
    }
    translate(*this);
    return true;
}

void CConfig::addTranslation(const std::string& legacyName, const std::string& currentName)
{
    _translations[legacyName] = currentName;
}

void CConfig::translate(CStringMap& map) const
{
    for (const auto& rename : _translations) {
        if (!map.defined(rename.first) || rename.first == rename.second) continue;
        const std::string value = map.get_string(rename.first, std::string());
        map.erase(rename.first);
        map[rename.second] = value;
    }
}

} // namespace osk
