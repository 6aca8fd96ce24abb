#include "local_fs/upload_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "local_fs/atomic_upload_file.h"
#include "local_fs/local_file_error.h"
#include "standard/guard.h"

namespace localfs {

namespace {

// Texts shown in logs.
const char* const kCannotOpen = "Cannot open the upload journal '%1'.";
const char* const kCannotRecord = "Cannot record the temporary file of an upload in the journal '%1'.";
const char* const kInUse = "Another process holds the journal.";

const char* const kCompactSuffix = ".new";

std::string encode(const std::string& path)
{
    std::string text;
    text.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            text += "\\\\";
        else if (c == '\n')
            text += "\\n";
        else
            text += c;
    }
    return text;
}

// The path of an encoded line; false for text that no record produces.
bool decode(const std::string& text, std::string& path)
{
    path.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            path += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        if (text[i] == '\\')
            path += '\\';
        else if (text[i] == 'n')
            path += '\n';
        else
            return false;
    }
    return !path.empty() && path[0] == '/';
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[8192];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof(buffer), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
    return text;
}

// Writes all of text; 0 or the system error number.
int writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        // Nothing written of a non-empty buffer: no space is left.
        if (n == 0) return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// The last component of an absolute path.
std::string leafOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

} // namespace

CUploadJournal::CUploadJournal(const std::string& file) : _file(file)
{
    _fd = _openLocked(file, O_WRONLY | O_APPEND | O_CREAT);
    struct stat st;
    if (::fstat(_fd.get(), &st) == 0) _size = static_cast<uint64_t>(st.st_size);
}

osk::CFileDescriptor CUploadJournal::_openLocked(const std::string& file, int flags) const
{
    const char* const context = "CUploadJournal::CUploadJournal";
    osk::CFileDescriptor fd(::open(file.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd) {
        const int err = errno;
        throw CLocalFileError::make(kCannotOpen, file, strerror(err), context, err);
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw CLocalFileError::make(kCannotOpen, file, strerror(EINVAL), context, EINVAL);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        throw CLocalFileError::make(kCannotOpen, file, err == EWOULDBLOCK ? kInUse : strerror(err), context, err);
    }
    return fd;
}

std::vector<std::string> CUploadJournal::removeOrphans()
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    // The journal is write-only for appending; read it through its name.
    osk::CFileDescriptor reader(::open(_file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    const std::string text = reader ? readAll(reader.get()) : std::string();

    std::map<std::string, long> open;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        // A line cut short by a crash is no record.
        if (end == std::string::npos) break;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::string path;
        if (line.size() < 2 || (line[0] != '+' && line[0] != '-') || !decode(line.substr(1), path)) continue;
        open[path] += line[0] == '+' ? 1 : -1;
    }

    std::vector<std::string> removed;
    for (const auto& entry : open) {
        if (entry.second <= 0) continue;
        const std::string& path = entry.first;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!CAtomicUploadFile::isTemporaryName(leafOf(path))) continue;
        if (::unlink(path.c_str()) == 0) removed.push_back(path);
    }
    // Every record is settled now.
    _inProgress.clear();
    if (::ftruncate(_fd.get(), 0) == 0) _size = 0;
    return removed;
}

void CUploadJournal::started(const std::string& path)
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    _append('+', path);
    ++_inProgress[path];
}

void CUploadJournal::finished(const std::string& path) noexcept
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    const auto it = _inProgress.find(path);
    if (it == _inProgress.end()) return;
    if (--it->second == 0) _inProgress.erase(it);
    try {
        if (_inProgress.empty()) {
            // Nothing is in progress: no record is needed any more.
            if (::ftruncate(_fd.get(), 0) == 0) {
                _size = 0;
                return;
            }
        }
        _append('-', path);
        if (_size > compactAbove) _compact();
    } catch (...) {
        // A lost "-" record costs at most a kept partial upload at the next
        // start; the upload itself is over.
    }
}

size_t CUploadJournal::inProgress() const
{
    osk::CGuard<osk::CNRMutex> guard(_lock);
    size_t count = 0;
    for (const auto& entry : _inProgress) count += entry.second;
    return count;
}

void CUploadJournal::_append(char mark, const std::string& path)
{
    const std::string line = mark + encode(path) + "\n";
    // One write per record: appends of whole lines never interleave.
    if (const int err = writeAll(_fd.get(), line)) {
        // Cut off a torn line so that the next record starts a line of its
        // own; should that fail too, the torn line merely spoils one record.
        const int ignored = ::ftruncate(_fd.get(), static_cast<off_t>(_size));
        (void)ignored;
        throw CLocalFileError::make(kCannotRecord, _file, strerror(err), "CUploadJournal::started", err);
    }
    _size += line.size();
}

void CUploadJournal::_compact()
{
    std::string text;
    for (const auto& entry : _inProgress)
        for (unsigned i = 0; i < entry.second; ++i) text += "+" + encode(entry.first) + "\n";
    const std::string next = _file + kCompactSuffix;
    // The new file is locked before it takes the journal's name, so no
    // other process can claim it in between.
    osk::CFileDescriptor fd = _openLocked(next, O_WRONLY | O_APPEND | O_CREAT | O_TRUNC);
    if (writeAll(fd.get(), text) != 0 || ::rename(next.c_str(), _file.c_str()) != 0) {
        ::unlink(next.c_str());
        return;
    }
    _fd = std::move(fd);
    _size = text.size();
}

} // namespace localfs
