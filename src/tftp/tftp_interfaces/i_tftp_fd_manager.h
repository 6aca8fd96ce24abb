#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standard/endpoint.h"
#include "standard/file_offset.h"

class CIDescriptor;
class CState;

// A virtual file system of the TFTP service: it opens, reads, writes and
// closes the files behind requested names for the engine. Managers live in
// plug-ins (see CITFTPFDManagerFactory); the controller keeps them in a
// table keyed by the virtual file system names they serve.
//
// The engine never converts file contents: netascii line-end conversion,
// path creation for uploads and the check for suspicious-looking names are
// the manager's. Every failure is thrown as osk::CException carrying the
// system error number (err_code()) that describes it; the engine turns it
// into a TFTP error code.
//
// The engine calls a manager from its one thread. The console reads
// fdCount() and sets setPathCreation() from its own threads, so managers
// keep those two thread-safe. The virtual operations are declared in their
// fixed slot order.
class CITFTPFDManager {
public:
    CITFTPFDManager() = default;
    virtual ~CITFTPFDManager() = default;
    CITFTPFDManager(const CITFTPFDManager&) = delete;
    CITFTPFDManager& operator=(const CITFTPFDManager&) = delete;

    // A short name of the manager for logs and plug-in listings.
    virtual std::string managerName() const = 0;
    // Called once after the factory created the manager.
    virtual void initManager() = 0;
    // Called once at shutdown; closes (and gives up) files still open.
    virtual void shutdownManager() = 0;
    // The virtual file system names the manager serves.
    virtual std::vector<std::string> virtualFileSystems() const = 0;
    // Which per-request expressions the engine evaluates for its files.
    virtual bool usesVirtualRoot() const = 0;
    virtual bool usesPreProcessor() const = 0;
    virtual bool usesAccessControl() const = 0;
    virtual bool usesOverwriteControl() const = 0;
    // Create missing directories for uploads (tftp.upload.create_paths).
    virtual void setPathCreation(bool create) = 0;
    virtual bool pathCreation() const = 0;
    // Permission bits of uploaded files (tftp.upload.permissions).
    virtual void setUploadPerms(uint16_t perms) = 0;
    virtual uint16_t uploadPerms() const = 0;
    // Opens the file of a transfer: for reading when state.transmitting,
    // else for writing (replacing an existing file only when
    // state.canOverwrite). Uses state.fqpn, state.reqFile, state.binary and
    // state.blksize. The descriptor stays valid until closeFile.
    virtual CIDescriptor* openFile(CState& state) = 0;
    // Closes a descriptor of this manager. An upload whose last (short)
    // block was written is completed; any other upload is given up. A null
    // descriptor does nothing.
    virtual void closeFile(CIDescriptor* descriptor) = 0;
    // Stores one upload block of count bytes received at offset (the
    // transfer's position in bytes on the wire). Returns the number of bytes
    // of the block consumed: count when all went well.
    virtual size_t writeBlock(CIDescriptor* descriptor, osk::CFileOffset offset, const char* data,
                              size_t count) = 0;
    // Fills buffer with up to count bytes of the download from offset (the
    // transfer's position on the wire). Fewer than count means end of file.
    // Asking again for the offset of the previous block gives that block
    // again.
    virtual size_t readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* descriptor) = 0;
    // Number of bytes the download will send (the tsize option).
    virtual osk::CFileOffset fileSize(CIDescriptor* descriptor) = 0;
    // Number of descriptors now open.
    virtual size_t fdCount() const = 0;
    // Checks the requested name of a client against root and rewrites it in
    // the form the engine appends to the root to make the file's full name.
    // Throws to refuse the name.
    virtual void normaliseName(const osk::CEndpoint& client, const std::string& root, std::string& name) = 0;

    // Refuse suspicious-looking names (tftp.massage_filenames); applied
    // when names are normalised.
    bool massageFilenames() const { return _massageFilenames; }
    void massageFilenames(bool massage) { _massageFilenames = massage; }
    // What becomes of an upload that fails or is abandoned before its last
    // block (tftp.upload.delete_partial): true removes what it wrote, false
    // keeps it for inspection where a half-written file cannot be mistaken
    // for a complete one. A complete upload is never affected.
    bool deletePartialUploads() const { return _deletePartialUploads; }
    void deletePartialUploads(bool remove) { _deletePartialUploads = remove; }

private:
    std::atomic<bool> _massageFilenames{true};
    std::atomic<bool> _deletePartialUploads{true};
};
