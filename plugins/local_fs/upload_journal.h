#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "standard/file_descriptor.h"
#include "standard/nr_mutex.h"

namespace localfs {

// A record of the temporary files that uploads have in progress, so that
// the next start can remove the ones a crash left behind.
//
// The journal is one append-only text file. Each line is "+<path>" when a
// temporary is created and "-<path>" when the upload is done with it
// (renamed into place, removed, or kept on purpose for inspection). Paths
// are absolute; a backslash and a line feed in them are written "\\" and
// "\n" so that every record is one line.
//
// The process that opens the journal holds an exclusive lock on it for as
// long as the object lives. A second process (a dry run beside the running
// daemon, a second daemon sharing the directory) cannot get the lock: it is
// refused, so it never takes the live uploads of the first for orphans.
// The lock dies with a crashed process.
//
// The journal never grows without bound: it is emptied whenever no
// temporary is in progress, and rewritten with only those in progress when
// it has grown large.
class CUploadJournal {
public:
    // The journal's file name in the storage directory.
    static const char* fileName() { return "uploads.journal"; }

    // Opens (creating, mode 0600) the journal file and locks it. Throws
    // osk::CException with the system error number; EWOULDBLOCK means that
    // another process holds the journal.
    explicit CUploadJournal(const std::string& file);
    CUploadJournal(const CUploadJournal&) = delete;
    CUploadJournal& operator=(const CUploadJournal&) = delete;

    const std::string& file() const { return _file; }

    // Removes every temporary the journal records as created and never
    // finished, if it still exists as a regular file whose name is that of
    // an upload's temporary (see isTemporary); anything else at that path is
    // left alone. Then empties the journal. Returns the paths removed. Call
    // once, before any upload starts.
    std::vector<std::string> removeOrphans();

    // A temporary now exists at path. Throws when the record cannot be
    // written (the upload should then not proceed).
    void started(const std::string& path);
    // The upload is done with the temporary at path; never throws.
    void finished(const std::string& path) noexcept;

    // Temporaries started and not yet finished, by this process.
    size_t inProgress() const;

    // Above this size the journal is rewritten with only the temporaries in
    // progress.
    static constexpr uint64_t compactAbove = 1 << 20;

private:
    void _append(char mark, const std::string& path);
    // Replaces the journal file by one that holds only the lines of the
    // temporaries in progress.
    void _compact();
    osk::CFileDescriptor _openLocked(const std::string& file, int flags) const;

    std::string _file;
    mutable osk::CNRMutex _lock; // guards everything below
    osk::CFileDescriptor _fd;
    uint64_t _size = 0;
    std::map<std::string, unsigned> _inProgress;
};

} // namespace localfs
