#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "local_fs/unique_fd.h"

namespace localfs {

// The file an upload writes.
//
// A new file is created under its own name (O_EXCL, so an existing file is
// never opened for writing by mistake). An upload that replaces an existing
// file writes a temporary file beside it, in the same directory, and renames
// it over the old one only in commit(): until then the old file is untouched,
// and abort() (or destruction without commit) removes the temporary. An
// aborted new file is removed when deletePartial is set and kept otherwise.
//
// The file gets exactly the permission bits given (fchmod after creation, so
// the process umask does not matter); set-id and sticky bits are never set.
// Blocks are written at explicit offsets, so a block written again (a
// retransmission) simply overwrites itself.
//
// Failures throw osk::CException with the system error number in err_code():
// EEXIST when the file exists and may not be overwritten, EISDIR when the
// name is a directory, EACCES for other non-regular files, ENOSPC and others
// from the kernel.
class CAtomicUploadFile {
public:
    // dirFd: a directory descriptor (O_PATH is enough), duplicated here;
    // leaf: the file's name in it (one component, already checked).
    CAtomicUploadFile(int dirFd, const std::string& leaf, mode_t perms, bool canOverwrite, bool deletePartial);
    // Aborts an upload that was neither committed nor aborted; never throws.
    ~CAtomicUploadFile();
    CAtomicUploadFile(const CAtomicUploadFile&) = delete;
    CAtomicUploadFile& operator=(const CAtomicUploadFile&) = delete;

    const std::string& leaf() const { return _leaf; }
    // True when an existing file is being replaced through a temporary.
    bool replacing() const { return _replacing; }
    // Name of the temporary beside the target; empty for a new file.
    const std::string& tempName() const { return _tempName; }
    mode_t perms() const { return _perms; }
    bool deletePartial() const { return _deletePartial; }
    // Neither committed nor aborted yet.
    bool open() const { return _fd.valid(); }
    // End of the furthest byte written so far.
    uint64_t size() const { return _size; }

    // Writes all len bytes at offset (or throws).
    void write(uint64_t offset, const char* data, size_t len);
    // Completes the upload: a replacement is flushed to disk and renamed
    // over the old file; a new file is closed. Throws when that fails, after
    // removing the temporary.
    void commit();
    // Gives the upload up: removes the temporary of a replacement, or the
    // new file when deletePartial is set. Does nothing once finished.
    void abort();

private:
    void _createTemporary();
    void _removeOwnFile(const std::string& name);

    CUniqueFd _dir;
    CUniqueFd _fd;
    std::string _leaf;
    std::string _tempName;
    mode_t _perms;
    bool _deletePartial;
    bool _replacing = false;
    uint64_t _size = 0;
};

} // namespace localfs
