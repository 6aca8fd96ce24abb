#include "local_fs/atomic_upload_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <ctime>

#include "extended/exception.h"
#include "local_fs/local_file_error.h"
#include "local_fs/local_path_resolver.h"
#include "local_fs/upload_journal.h"

namespace localfs {

namespace {

// Texts shown to clients and logs.
const char* const kCannotCreate = "Cannot create file '%1'.";
const char* const kCannotWrite = "Cannot write file '%1'.";
const char* const kCannotReplace = "Cannot replace file '%1'.";
const char* const kCannotStore = "Cannot store file '%1'.";
const char* const kFileExists = "The file already exists.";
const char* const kIsDirectory = "The name belongs to a directory.";
const char* const kNotRegular = "The existing file is not a regular file.";
const char* const kNotOpen = "The upload is already finished.";
const char* const kTooLarge = "The write goes beyond the largest possible file size.";

const char* const kTempInfix = ".upload-";
constexpr size_t kTempDigits = 12;
constexpr int kTempAttempts = 16;

osk::CException systemError(const char* what, const std::string& leaf, const char* context, int err)
{
    return CLocalFileError::make(what, leaf, strerror(err), context, err);
}

std::string randomSuffix()
{
    unsigned char bytes[6];
    if (getrandom(bytes, sizeof(bytes), GRND_NONBLOCK) != static_cast<ssize_t>(sizeof(bytes))) {
        // Only uniqueness matters here (creation is O_EXCL and retried).
        static unsigned counter = 0;
        const unsigned long mix = static_cast<unsigned long>(getpid()) * 2654435761u ^
                                  static_cast<unsigned long>(time(nullptr)) ^ ++counter * 40503u;
        for (size_t i = 0; i < sizeof(bytes); ++i) bytes[i] = static_cast<unsigned char>(mix >> (i * 8));
    }
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += hex[b >> 4];
        text += hex[b & 0xf];
    }
    return text;
}
} // namespace

CAtomicUploadFile::CAtomicUploadFile(int dirFd, const std::string& leaf, mode_t perms, bool canOverwrite,
                                     bool deletePartial, CUploadJournal* journal, const std::string& directory)
    : _leaf(leaf),
      _perms(perms & 0777),
      _canOverwrite(canOverwrite),
      _deletePartial(deletePartial),
      _journal(journal),
      _directory(directory)
{
    const char* const context = "CAtomicUploadFile::CAtomicUploadFile";
    if (leaf.empty() || leaf == "." || leaf == ".." || leaf.find('/') != std::string::npos ||
        leaf.find('\0') != std::string::npos)
        throw CLocalFileError::make(kCannotCreate, leaf, "The file name is not a single name.", context, EINVAL);
    _dir.reset(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
    if (!_dir) throw systemError(kCannotCreate, leaf, context, errno);

    // Refuse at once what the rename would refuse at the end, before the
    // client sends a single block.
    struct stat st;
    if (::fstatat(_dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) throw CLocalFileError::make(kCannotCreate, leaf, kIsDirectory, context, EISDIR);
        // A symbolic link in the way is replaced itself, never written through.
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            throw CLocalFileError::make(kCannotCreate, leaf, kNotRegular, context, EACCES);
        if (!canOverwrite) throw CLocalFileError::make(kCannotCreate, leaf, kFileExists, context, EEXIST);
    } else if (errno != ENOENT) {
        throw systemError(kCannotCreate, leaf, context, errno);
    }
    _createTemporary();
}

CAtomicUploadFile::~CAtomicUploadFile()
{
    try {
        abort();
    } catch (...) {
        // A destructor cannot report; the descriptors are closed regardless.
    }
}

bool CAtomicUploadFile::isTemporaryName(const std::string& name)
{
    const size_t infix = strlen(kTempInfix);
    // At least one character of the target's name between the dot and the infix.
    if (name.size() < 2 + infix + kTempDigits || name[0] != '.') return false;
    const size_t digits = name.size() - kTempDigits;
    if (name.compare(digits - infix, infix, kTempInfix) != 0) return false;
    for (size_t i = digits; i < name.size(); ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f'))) return false;
    return true;
}

void CAtomicUploadFile::_createTemporary()
{
    const char* const context = "CAtomicUploadFile::_createTemporary";
    // "." + leaf + ".upload-" + 12 hex digits, within one name's length limit.
    const size_t fixed = 1 + strlen(kTempInfix) + kTempDigits;
    const std::string stem = _leaf.substr(0, NAME_MAX - fixed);
    int err = EEXIST;
    for (int attempt = 0; attempt < kTempAttempts && err == EEXIST; ++attempt) {
        _tempName = "." + stem + kTempInfix + randomSuffix();
        // The record comes first: a crash right after the creation must
        // find the file in the journal.
        if (_journal) _journal->started(_journalPath());
        _fd.reset(::openat(_dir.get(), _tempName.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, _perms));
        if (_fd) break;
        err = errno;
        if (_journal) _journal->finished(_journalPath());
    }
    if (!_fd) {
        _tempName.clear();
        throw systemError(kCannotCreate, _leaf, context, err);
    }
    if (::fchmod(_fd.get(), _perms) != 0) {
        err = errno;
        _finish(true);
        throw systemError(kCannotCreate, _leaf, context, err);
    }
}

std::string CAtomicUploadFile::_journalPath() const
{
    return (_directory.empty() || _directory.back() != '/' ? _directory + "/" : _directory) + _tempName;
}

void CAtomicUploadFile::write(uint64_t offset, const char* data, size_t len)
{
    const char* const context = "CAtomicUploadFile::write";
    if (!_fd) throw CLocalFileError::make(kCannotWrite, _leaf, kNotOpen, context, EBADF);
    constexpr uint64_t maxOffset = static_cast<uint64_t>(INT64_MAX);
    if (offset > maxOffset || len > maxOffset - offset) {
        _finish(true);
        throw CLocalFileError::make(kCannotWrite, _leaf, kTooLarge, context, EFBIG);
    }
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::pwrite(_fd.get(), data + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A zero-byte write of a non-empty buffer means no space is left.
            const int err = n < 0 ? errno : ENOSPC;
            // What was written is not what the client sent; on a full disk
            // it also holds space that others need.
            _finish(true);
            throw systemError(kCannotWrite, _leaf, context, err);
        }
        done += static_cast<size_t>(n);
    }
    if (offset + len > _size) _size = offset + len;
}

void CAtomicUploadFile::commit()
{
    const char* const context = "CAtomicUploadFile::commit";
    if (!_fd) throw CLocalFileError::make(kCannotStore, _leaf, kNotOpen, context, EBADF);
    // The data must be on disk before the name points at it, or a crash
    // could leave an empty file under the name.
    if (::fsync(_fd.get()) != 0) {
        const int err = errno;
        _finish(true);
        throw systemError(kCannotWrite, _leaf, context, err);
    }
    try {
        _rename();
    } catch (...) {
        _finish(true);
        throw;
    }
    _finish(false);
}

void CAtomicUploadFile::_rename()
{
    const char* const context = "CAtomicUploadFile::commit";
    if (_canOverwrite) {
        if (::renameat(_dir.get(), _tempName.c_str(), _dir.get(), _leaf.c_str()) != 0)
            throw systemError(kCannotReplace, _leaf, context, errno);
        return;
    }
    int err = 0;
    if (::renameat2(_dir.get(), _tempName.c_str(), _dir.get(), _leaf.c_str(), RENAME_NOREPLACE) != 0) {
        err = errno;
        // A file system without the flag: a hard link is just as exclusive.
        if (err == EINVAL || err == ENOSYS) {
            err = ::linkat(_dir.get(), _tempName.c_str(), _dir.get(), _leaf.c_str(), 0) == 0 ? 0 : errno;
            if (err == 0) ::unlinkat(_dir.get(), _tempName.c_str(), 0);
        }
    }
    if (err == EEXIST) throw CLocalFileError::make(kCannotCreate, _leaf, kFileExists, context, EEXIST);
    if (err != 0) throw systemError(kCannotStore, _leaf, context, err);
}

void CAtomicUploadFile::abort()
{
    if (_fd) _finish(_deletePartial);
}

void CAtomicUploadFile::_finish(bool removeTemporary)
{
    if (!_fd) return;
    if (removeTemporary) _removeOwnFile(_tempName);
    _fd.close();
    if (_journal) _journal->finished(_journalPath());
}

void CAtomicUploadFile::_removeOwnFile(const std::string& name)
{
    // Remove the name only while it still refers to the file written here:
    // a file that took its place in the meantime is not ours to delete.
    struct stat mine;
    struct stat there;
    if (::fstat(_fd.get(), &mine) != 0) return;
    if (::fstatat(_dir.get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (mine.st_dev != there.st_dev || mine.st_ino != there.st_ino) return;
    ::unlinkat(_dir.get(), name.c_str(), 0);
}

} // namespace localfs
