#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "local_fs/local_descriptor.h"
#include "local_fs/read_ahead_budget.h"
#include "local_fs/root_directory_cache.h"
#include "local_fs/small_file_cache.h"
#include "local_fs/upload_journal.h"
#include "tftp/tftp_interfaces/i_tftp_fd_manager.h"

class CITFTPController;

namespace localfs {

class CLocalPathResolver;

// The descriptor manager of the local file system, registered under the
// virtual file system name "file" (protocolName()): "file://a/b",
// "/file/a/b" and, where allowed, "file/a/b" select it explicitly, and it is
// the engine's default manager for every name without a known prefix.
//
// Requested names are normalised (CLocalPathResolver::normaliseName) into
// "/a/b/c": the engine appends that to the virtual root to form the file's
// full name (fqpn). openFile takes the root back from fqpn and reqFile and
// opens the file strictly beneath it, so no name or link leads out of the
// root. All four per-request expressions apply.
//
// The root directories are opened through a CRootDirectoryCache: a root
// serves the requests of one second with one descriptor. Octet downloads
// read ahead 64 KiB at a time, within 4 MiB for all of them together.
//
// Uploads go through CAtomicUploadFile: each writes a temporary beside its
// target that takes the target's name only when the last block has arrived.
// deletePartialUploads() decides whether an upload given up before that
// removes its temporary or keeps it. When the controller's configuration
// names a storage directory ("system.storage.path"), the temporaries are
// recorded in a journal there (CUploadJournal) and initManager() removes
// those that a crash of an earlier run left behind; without that key there
// is no journal and such leftovers stay.
class CLocalFDManager : public CITFTPFDManager {
public:
    static const char* protocolName() { return "file"; }

    explicit CLocalFDManager(CITFTPController* controller = nullptr);
    // Gives up every file still open.
    ~CLocalFDManager() override;

    CITFTPController* controller() const { return _controller; }
    // The journal of upload temporaries; null when there is none.
    const CUploadJournal* journal() const { return _journal.get(); }

    std::string managerName() const override { return "Local File System"; }
    void initManager() override;
    void shutdownManager() override;
    std::vector<std::string> virtualFileSystems() const override { return {protocolName()}; }
    bool usesVirtualRoot() const override { return true; }
    bool usesPreProcessor() const override { return true; }
    bool usesAccessControl() const override { return true; }
    bool usesOverwriteControl() const override { return true; }
    void setPathCreation(bool create) override { _pathCreation = create; }
    bool pathCreation() const override { return _pathCreation; }
    void setUploadPerms(uint16_t perms) override { _uploadPerms = static_cast<uint16_t>(perms & 0777); }
    uint16_t uploadPerms() const override { return _uploadPerms; }
    CIDescriptor* openFile(CState& state) override;
    void closeFile(CIDescriptor* descriptor) override;
    size_t writeBlock(CIDescriptor* descriptor, osk::CFileOffset offset, const char* data, size_t count) override;
    size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* descriptor) override;
    osk::CFileOffset fileSize(CIDescriptor* descriptor) override;
    // Open transfers that hold a file descriptor.
    size_t fdCount() const override;
    void normaliseName(const osk::CEndpoint& client, const std::string& root, std::string& name) override;

    // The directory that fqpn lies beneath when reqFile names it relative to
    // that directory ("/srv/tftp" for "/srv/tftp/a/b" and "a/b" or "/a/b").
    // Throws EACCES when fqpn does not end in reqFile.
    static std::string rootOf(const std::string& fqpn, const std::string& relative);

private:
    // A download of relative beneath root: from the kept copy of a small
    // file when it is unchanged, else from the file (keeping a copy of a
    // small octet one).
    std::unique_ptr<CLocalDescriptor> _openDownload(const CLocalPathResolver& resolver, const std::string& root,
                                                    const std::string& relative, bool binary);
    // The descriptor of this manager behind a handle; throws EBADF otherwise.
    CLocalDescriptor* _find(CIDescriptor* descriptor) const;
    // Opens the journal in the configured storage directory and removes the
    // temporaries it records as unfinished.
    void _openJournal();
    void _log(uint32_t severity, const std::string& text, const std::string& argument, int err = 0) const;

    CITFTPController* _controller;
    std::atomic<bool> _pathCreation{false};
    std::atomic<uint16_t> _uploadPerms{0660};
    // Set once by initManager; outlives every upload that records in it.
    std::unique_ptr<CUploadJournal> _journal;
    CRootDirectoryCache _roots;
    // Only openFile uses it, from the engine's thread.
    CSmallFileCache _smallFiles;
    // Shared by the read-ahead buffers of the open downloads; declared
    // before _open, which it outlives.
    CReadAheadBudget _readAhead{4 * 1024 * 1024};
    // The open files. Only the engine's thread uses it (openFile, closeFile
    // and the block calls), and shutdownManager once the engine has stopped:
    // no lock on the way of every block.
    std::unordered_map<CIDescriptor*, std::unique_ptr<CLocalDescriptor>> _open;
    // The open files that hold a file descriptor (downloads served from
    // memory hold none): what fdCount() reports to the console's threads.
    std::atomic<size_t> _holdingDescriptors{0};
};

} // namespace localfs
