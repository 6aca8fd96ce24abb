#pragma once

#include <string>
#include <vector>

#include "standard/general_ptr.h"
#include "standard/guard.h"
#include "standard/string_map.h"

namespace osk {

// The service's configuration: one file of key=value lines held as a string
// map. It reads and writes that file, applies queued updates from a merge
// file and renames keys that older versions of the service used.
//
// Shared between tasks only through CConfigPtr, whose every call runs under
// the configuration's lock; CConfigGuard holds that lock across several
// calls.
class CConfig : public CStringMap {
public:
    // The name of the update file looked for by mergeUpdates().
    static const char* const mergeFileName;

    CConfig(const std::string& version, const std::string& build, const std::string& path);
    ~CConfig() override = default;

    std::string typeName() const override { return "osk::CConfig"; }

    // Replaces the entries by the file's (empty lines dropped), then renames
    // legacy keys. An empty path means fqpn(); a non-empty one replaces it.
    // False when there is no path or the file cannot be opened.
    virtual bool read(const std::string& path);
    // Writes the text form to path (fqpn() when empty); false on failure,
    // with errno telling why. The file is replaced in one step (a temporary
    // file beside it, renamed over it), so a failed write leaves it as it
    // was. The new file keeps the old one's mode and owner; a new file is
    // created with mode 0600, whatever the umask. When path is a symbolic
    // link, the file it leads to is replaced and the link stays. The
    // temporary is named "." + the file's name + ".write-" + six random
    // characters, is locked (flock) until it has been renamed and, where
    // the kernel allows, gets that name only once it is complete.
    virtual bool write(const std::string& path);
    // Removes the temporaries beside fqpn() that a write cut short by a
    // crash left behind: those that no process holds locked any more.
    // Returns their paths. Safe while another process writes the file.
    std::vector<std::string> removeInterruptedWrites() const;
    // Applies directory/merge.conf (applyUpdates()), writes the
    // configuration to its own file and, when that succeeded, deletes the
    // merge file. A missing merge file is no error.
    virtual void mergeUpdates(const std::string& directory);
    // Applies directory/merge.conf to the entries only: "set", "add" and
    // "del" lines, then the renaming of legacy keys. False when there is no
    // merge file to read.
    bool applyUpdates(const std::string& directory);

    // Records that legacyName is now called currentName.
    void addTranslation(const std::string& legacyName, const std::string& currentName);
    const CStringMap& translations() const { return _translations; }
    // Moves the value of every legacy key of map to its current name (as a
    // read does with the file's keys).
    void translate(CStringMap& map) const;

    // A value that write() stores in the file while the entries keep their
    // own: it takes effect when the file is read again (at the next start).
    // read() forgets staged values; unstage(key) drops one (a change that
    // takes effect at once replaces it).
    void stage(const std::string& key, const std::string& value) { _staged[key] = value; }
    void unstage(const std::string& key) { _staged.erase(key); }
    const CStringMap& staged() const { return _staged; }

    const std::string& fqpn() const { return _fqpn; }
    void fqpn(const std::string& path) { _fqpn = path; }
    const std::string& version() const { return _version; }
    void version(const std::string& text) { _version = text; }
    const std::string& build() const { return _build; }
    void build(const std::string& text) { _build = text; }

private:
    std::string _fqpn;
    std::string _version;
    std::string _build;
    CStringMap _translations;
    CStringMap _staged;
};

// How tasks reach the shared configuration: each call holds its lock. The
// lock (one recursive mutex shared by every copy of the pointer) guards all
// of the CConfig: its entries, fqpn, version, build and translations, and
// the file it is written to.
using CConfigPtr = CLockedPtr<CConfig>;

// Holds the configuration's lock for a scope: for reads that must agree with
// each other and for a change followed by write().
using CConfigGuard = CGuard<const CConfigPtr>;

} // namespace osk
