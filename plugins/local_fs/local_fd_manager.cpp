#include "local_fs/local_fd_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "extended/config_names.h"
#include "extended/exception.h"
#include "local_fs/local_file_error.h"
#include "local_fs/local_path_resolver.h"
#include "standard/guard.h"
#include "tftp/tftp_interfaces/i_tftp_controller.h"
#include "tftp/tftp_interfaces/state.h"

namespace localfs {

namespace {

// Texts shown to clients and logs.
const char* const kCannotOpen = "Cannot open file '%1'.";
const char* const kNotOurs = "Invalid file descriptor.";
const char* const kNotUnderRoot = "The file name does not lie beneath the virtual root.";
const char* const kUnknownDescriptor = "The descriptor was not opened by the local file system.";
const char* const kOrphanRemoved = "Removed '%1', the temporary file of an upload that a crash interrupted.";
const char* const kNoJournal =
    "Cannot keep the upload journal '%1'; temporary files that a crash leaves behind will not be removed.";
const char* const kJournalHeld =
    "The upload journal '%1' belongs to another running process; its temporary files are left alone.";
const char* const kModule = "local_fs";

// The absolute path of the directory that holds relative beneath root.
std::string directoryOf(const std::string& root, const std::string& relative)
{
    std::string directory = root;
    if (directory.empty() || directory[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof(cwd))) directory = std::string(cwd) + "/" + directory;
    }
    const size_t slash = relative.find_last_of('/');
    if (slash != std::string::npos) directory += "/" + relative.substr(0, slash);
    return directory;
}

} // namespace

CLocalFDManager::CLocalFDManager(CITFTPController* controller) : _controller(controller) {}

CLocalFDManager::~CLocalFDManager()
{
    shutdownManager();
}

void CLocalFDManager::initManager()
{
    // Probe the kernel once now rather than during the first transfer.
    CLocalPathResolver::haveOpenat2();
    if (!_journal) _openJournal();
}

void CLocalFDManager::_openJournal()
{
    if (!_controller) return;
    const std::string key = osk::CConfigNames::storagePath();
    if (!_controller->config()->hasValue(key)) return;
    std::string file = _controller->config()->get_path(key, std::string());
    if (file.empty()) return;
    file += std::string(file.back() == '/' ? "" : "/") + CUploadJournal::fileName();
    try {
        _journal.reset(new CUploadJournal(file));
    } catch (const osk::CException& e) {
        // Uploads work without it; only the clean-up after a crash is lost.
        // A journal held elsewhere is the normal case for a dry run beside
        // the running daemon.
        if (e.err_code() == EWOULDBLOCK)
            _log(osk::CException::info, kJournalHeld, file);
        else
            _log(osk::CException::warning, kNoJournal, file, e.err_code());
        return;
    }
    for (const std::string& path : _journal->removeOrphans()) _log(osk::CException::info, kOrphanRemoved, path);
}

void CLocalFDManager::_log(uint32_t severity, const std::string& text, const std::string& argument, int err) const
{
    _controller->syslog(severity, osk::CMessage(text, kModule).pushs(CLocalPathResolver::printableName(argument)),
                        err);
}

void CLocalFDManager::shutdownManager()
{
    // Destroying an unfinished upload gives it up.
    _open.clear();
    _holdingDescriptors = 0;
    _roots.clear();
}

void CLocalFDManager::normaliseName(const osk::CEndpoint&, const std::string&, std::string& name)
{
    std::string normal = CLocalPathResolver::normaliseName(name, massageFilenames());
    normal.insert(normal.begin(), '/');
    name = std::move(normal);
}

std::string CLocalFDManager::rootOf(const std::string& fqpn, const std::string& relative)
{
    // fqpn must end in "/" + relative; what comes before, without trailing
    // slashes, is the root.
    const size_t tail = relative.size() + 1;
    if (relative.empty() || fqpn.size() < tail || fqpn[fqpn.size() - tail] != '/' ||
        fqpn.compare(fqpn.size() - relative.size(), relative.size(), relative) != 0)
        throw CLocalFileError::make(kCannotOpen, fqpn, kNotUnderRoot, "CLocalFDManager::rootOf", EACCES);
    size_t end = fqpn.size() - tail;
    while (end > 1 && fqpn[end - 1] == '/') --end;
    return end == 0 ? std::string("/") : fqpn.substr(0, end);
}

CIDescriptor* CLocalFDManager::openFile(CState& state)
{
    const std::string relative = CLocalPathResolver::normaliseName(state.reqFile, massageFilenames());
    const std::string root = rootOf(state.fqpn, relative);
    CLocalPathResolver resolver(root, _roots.open(root));
    resolver.massageFilenames(massageFilenames());

    std::unique_ptr<CLocalDescriptor> descriptor;
    if (state.transmitting) {
        descriptor = _openDownload(resolver, root, relative, state.binary);
    } else {
        const mode_t perms = _uploadPerms;
        resolver.createPaths(_pathCreation);
        resolver.dirPerms(CLocalPathResolver::dirPermsFor(perms));
        std::string leaf;
        osk::CFileDescriptor parent = resolver.openParent(relative, leaf);
        std::unique_ptr<CAtomicUploadFile> writer(
            new CAtomicUploadFile(parent.get(), leaf, perms, state.canOverwrite, deletePartialUploads(),
                                  _journal.get(), directoryOf(resolver.root(), relative)));
        descriptor.reset(new CLocalDescriptor(std::move(writer), state.binary, state.blksize, relative));
    }

    CIDescriptor* handle = descriptor.get();
    if (!descriptor->servedFromMemory()) ++_holdingDescriptors;
    _open.emplace(handle, std::move(descriptor));
    return handle;
}

std::unique_ptr<CLocalDescriptor> CLocalFDManager::_openDownload(const CLocalPathResolver& resolver,
                                                                const std::string& root,
                                                                const std::string& relative, bool binary)
{
    if (binary) {
        if (auto content = _smallFiles.find(root, resolver.rootFd(), relative))
            return std::make_unique<CLocalDescriptor>(std::move(content), relative);
    }
    struct stat status;
    osk::CFileDescriptor file = resolver.openNormalisedRead(relative, status);
    const auto size = static_cast<osk::CFileOffset>(status.st_size);
    auto descriptor = std::make_unique<CLocalDescriptor>(std::move(file), binary, relative, size, &_readAhead);
    if (binary && CSmallFileCache::keepable(status, ::time(nullptr))) {
        // One read of one byte more than the size tells that the whole file
        // was read: a file that changed size since its status is served
        // from the file, and not kept.
        auto content = std::make_shared<std::string>(static_cast<size_t>(size) + 1, '\0');
        const size_t n = descriptor->read(&(*content)[0], 0, content->size());
        if (n == size) {
            content->resize(n);
            _smallFiles.keep(root, relative, status, content);
            return std::make_unique<CLocalDescriptor>(std::move(content), relative);
        }
    }
    return descriptor;
}

CLocalDescriptor* CLocalFDManager::_find(CIDescriptor* descriptor) const
{
    const auto it = _open.find(descriptor);
    if (it == _open.end())
        throw CLocalFileError::make(kCannotOpen, std::string(), kUnknownDescriptor, "CLocalFDManager::_find", EBADF);
    return it->second.get();
}

void CLocalFDManager::closeFile(CIDescriptor* descriptor)
{
    if (!descriptor) return;
    const auto it = _open.find(descriptor);
    if (it == _open.end())
        throw CLocalFileError::make(kCannotOpen, std::string(), kNotOurs, "CLocalFDManager::closeFile", EBADF);
    std::unique_ptr<CLocalDescriptor> closing = std::move(it->second);
    _open.erase(it);
    if (!closing->servedFromMemory()) --_holdingDescriptors;
    closing->close();
}

size_t CLocalFDManager::writeBlock(CIDescriptor* descriptor, osk::CFileOffset offset, const char* data,
                                   size_t count)
{
    return _find(descriptor)->write(offset, data, count);
}

size_t CLocalFDManager::readBlock(char* buffer, osk::CFileOffset offset, size_t count, CIDescriptor* descriptor)
{
    return _find(descriptor)->read(buffer, offset, count);
}

osk::CFileOffset CLocalFDManager::fileSize(CIDescriptor* descriptor)
{
    return _find(descriptor)->size();
}

size_t CLocalFDManager::fdCount() const
{
    return _holdingDescriptors;
}

} // namespace localfs
