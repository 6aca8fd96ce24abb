#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "standard/file_descriptor.h"
#include "standard/file_offset.h"

namespace localfs {

// Opens files strictly beneath one virtual root directory.
//
// A requested name is first normalised (normaliseName): backslashes count as
// path separators, a leading "/" means the root, empty and "." components are
// dropped, and the name is refused when it is empty, contains a control
// character (NUL included), has a ".." component or is too long. With name
// massaging on, suspicious-looking components (only dots, leading or
// trailing blanks, wildcard and redirection characters) are refused as well.
//
// The normalised name is then resolved by the kernel relative to a
// descriptor of the root with openat2(2) and RESOLVE_BENEATH, so no symbolic
// link can lead out of the root (symbolic links that stay beneath it are
// followed; absolute ones are refused). Kernels without openat2 get a walk
// over the components that refuses every symbolic link (O_NOFOLLOW on each
// directory and on the file).
//
// Every failure throws osk::CException whose err_code() is the system error
// number that describes it: EACCES for names or links that would leave the
// root and for files that are not regular files, EINVAL for malformed names,
// ENAMETOOLONG, and the kernel's own error (ENOENT, ENOTDIR, ...) otherwise.
class CLocalPathResolver {
public:
    enum resolve_mode {
        resolveAuto = 0, // openat2 when the kernel has it, else the walk
        resolveWalk = 1, // always the component walk (the fallback)
    };

    // Opens the root directory; throws when it cannot be opened.
    explicit CLocalPathResolver(const std::string& root);
    // Resolves beneath a root directory opened before (openRoot), which
    // this resolver shares.
    CLocalPathResolver(const std::string& root, std::shared_ptr<const osk::CFileDescriptor> rootFd);

    // An O_PATH descriptor of the directory root; throws when it cannot be
    // opened.
    static std::shared_ptr<const osk::CFileDescriptor> openRoot(const std::string& root);

    const std::string& root() const { return _root; }
    int rootFd() const { return _rootFd->get(); }

    // Create missing intermediate directories for uploads (openParent).
    bool createPaths() const { return _createPaths; }
    void createPaths(bool create) { _createPaths = create; }
    // Permission bits of directories created for uploads, set exactly
    // (umask-independent).
    mode_t dirPerms() const { return _dirPerms; }
    void dirPerms(mode_t perms) { _dirPerms = perms & 0777; }
    // Refuse suspicious-looking names.
    bool massageFilenames() const { return _massage; }
    void massageFilenames(bool massage) { _massage = massage; }
    resolve_mode mode() const { return _mode; }
    void mode(resolve_mode how) { _mode = how; }

    // Checks a requested name and gives its canonical form relative to the
    // root ("a/b/c", never empty, no leading slash). Throws to refuse it.
    static std::string normaliseName(const std::string& requested, bool massage);
    // Directory permissions that suit uploaded files with filePerms: every
    // class that may read the files may also search the directory.
    static mode_t dirPermsFor(mode_t filePerms);
    // The name with control bytes escaped as \xNN and cut to a sane length,
    // fit for messages and logs.
    static std::string printableName(const std::string& name);

    // Opens an existing regular file beneath the root for reading; its size
    // at that moment goes to sizeAtOpen when given.
    osk::CFileDescriptor openRead(const std::string& requested, osk::CFileOffset* sizeAtOpen = nullptr) const;
    // The same for a name that normaliseName() returned (with the same
    // massaging), which is not checked again; the file's status at that
    // moment goes to status.
    osk::CFileDescriptor openNormalisedRead(const std::string& relative, struct stat& status) const;
    // Opens the directory beneath the root that holds (or will hold) the
    // requested file, creating missing directories when createPaths() is on;
    // leaf receives the file's own name (one component). The descriptor is
    // an O_PATH directory descriptor for the *at() calls.
    osk::CFileDescriptor openParent(const std::string& requested, std::string& leaf) const;

    // True when openat2(2) is available on this kernel (probed once).
    static bool haveOpenat2();

private:
    // Opens relative (normalised) beneath the root; -1 with err set on failure.
    int _openBeneath(const std::string& relative, int flags, int& err) const;
    int _walk(const std::vector<std::string>& components, int flags, int& err) const;
    osk::CFileDescriptor _createDirectories(const std::vector<std::string>& components,
                                            const std::string& requested) const;

    std::string _root;
    std::shared_ptr<const osk::CFileDescriptor> _rootFd;
    bool _createPaths = false;
    mode_t _dirPerms = 0770;
    bool _massage = true;
    resolve_mode _mode = resolveAuto;
};

} // namespace localfs
