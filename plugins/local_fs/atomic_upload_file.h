#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "standard/file_descriptor.h"

namespace localfs {

class CUploadJournal;

// The file an upload writes.
//
// Every upload, of a new file or of a replacement, writes a temporary file
// beside the target, in the same directory, named "." + name + ".upload-" +
// 12 random hex digits (see isTemporaryName). The target's name is touched
// only by commit(), which renames the complete temporary into place: until
// then readers of the name see the old file or nothing, and a failed upload
// never leaves a partial file under it.
//
// When the upload may not overwrite (canOverwrite false) the rename never
// replaces a file that appeared under the name meanwhile: commit() fails
// with EEXIST and the other file stays. With canOverwrite the rename
// replaces whatever is there; a symbolic link in the way is replaced
// itself, never written through.
//
// A failed write (disk full and the like) or a failed commit removes the
// temporary. abort() removes it too unless deletePartial is false: the
// partial upload then stays, for inspection, under its temporary name. Only
// the file written here is ever removed, never one that took its name.
//
// The file gets exactly the permission bits given (fchmod after creation, so
// the process umask does not matter); set-id and sticky bits are never set.
// Blocks are written at explicit offsets, so a block written again (a
// retransmission) simply overwrites itself.
//
// With a journal, the temporary is recorded there from just before its
// creation until the upload is done with it, so that a restart after a crash
// removes it.
//
// Failures throw osk::CException with the system error number in err_code():
// EEXIST when the file exists and may not be overwritten, EISDIR when the
// name is a directory, EACCES for other non-regular files, ENOSPC, EFBIG and
// others from the kernel.
class CAtomicUploadFile {
public:
    // dirFd: a directory descriptor (O_PATH is enough), duplicated here;
    // leaf: the file's name in it (one component, already checked).
    // journal (may be null): where the temporary is recorded; directory:
    // the absolute path of dirFd's directory, for the journal's records.
    CAtomicUploadFile(int dirFd, const std::string& leaf, mode_t perms, bool canOverwrite, bool deletePartial,
                      CUploadJournal* journal = nullptr, const std::string& directory = std::string());
    // Aborts an upload that was neither committed nor aborted; never throws.
    ~CAtomicUploadFile();
    CAtomicUploadFile(const CAtomicUploadFile&) = delete;
    CAtomicUploadFile& operator=(const CAtomicUploadFile&) = delete;

    // True for the names of upload temporaries: "." + a name + ".upload-" +
    // 12 lower-case hex digits.
    static bool isTemporaryName(const std::string& name);

    const std::string& leaf() const { return _leaf; }
    // Name of the temporary beside the target.
    const std::string& tempName() const { return _tempName; }
    mode_t perms() const { return _perms; }
    bool canOverwrite() const { return _canOverwrite; }
    bool deletePartial() const { return _deletePartial; }
    // Neither committed nor aborted yet.
    bool open() const { return static_cast<bool>(_fd); }
    // End of the furthest byte written so far.
    uint64_t size() const { return _size; }

    // Writes all len bytes at offset, or removes the temporary and throws.
    void write(uint64_t offset, const char* data, size_t len);
    // Completes the upload: the temporary is flushed to disk and renamed to
    // the target's name. Throws when that fails, after removing the
    // temporary.
    void commit();
    // Gives the upload up: removes the temporary unless deletePartial is
    // false. Does nothing once finished.
    void abort();

private:
    void _createTemporary();
    // Puts the name in place: replacing when allowed, else only while the
    // name is free (EEXIST otherwise).
    void _rename();
    // Ends the upload: closes the temporary, removes it when asked, and
    // tells the journal.
    void _finish(bool removeTemporary);
    void _removeOwnFile(const std::string& name);
    std::string _journalPath() const;

    osk::CFileDescriptor _dir;
    osk::CFileDescriptor _fd;
    std::string _leaf;
    std::string _tempName;
    mode_t _perms;
    bool _canOverwrite;
    bool _deletePartial;
    CUploadJournal* _journal;
    std::string _directory;
    uint64_t _size = 0;
};

} // namespace localfs
